// A read loop host that owns the current sector and stop request, as the
// window does, and records what the loop did.
#pragma once

#include <functional>
#include <vector>

#include "drive/ReadLoopHost.h"

namespace rilvane::test {

class ScriptedHost : public ReadLoopHost {
public:
    void processEvents() override
    {
        ++pumps;
        if (onPump)
            onPump(*this);
    }
    int32_t currentSector() const override { return sector; }
    void setCurrentSector(int32_t s) override { sector = s; }
    bool stopRequested() const override { return stop; }
    void requestStop() override { stop = true; }
    void clearStopRequest() override
    {
        stop = false;
        ++clears;
    }
    // Reads as many blocks as `blocks` allows; negative: no limit.
    bool keepReading(int32_t) override { return blocks < 0 || static_cast<int>(positions.size()) < blocks; }
    void goodBlock(uint8_t* data) override
    {
        goodSectors.push_back(sector);
        goodData.push_back(data);
    }
    void positionChanged(int32_t s) override { positions.push_back(s); }

    int32_t sector = 0;
    bool stop = false;
    int blocks = -1;
    int pumps = 0;
    int clears = 0;
    std::function<void(ScriptedHost&)> onPump;
    std::vector<int32_t> goodSectors;
    std::vector<uint8_t*> goodData;
    std::vector<int32_t> positions;
};

}  // namespace rilvane::test
