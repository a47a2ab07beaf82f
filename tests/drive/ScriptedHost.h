// A read loop's surroundings: the reading state, a watcher that records the
// positions shown and may act between two reads, and a sink that records the
// good blocks.
#pragma once

#include <functional>
#include <vector>

#include "drive/BlockSink.h"
#include "drive/ReadObserver.h"
#include "drive/ReadingState.h"

namespace rilvane::test {

class ScriptedHost : public ReadObserver, public BlockSink {
public:
    void processEvents() override
    {
        ++pumps;
        if (onPump)
            onPump(*this);
    }
    void showPosition(int32_t s) override { positions.push_back(s); }

    bool tocDone(const TocResult&) override { return true; }
    // Reads as many blocks as `blocks` allows; negative: no limit.
    bool keepReading(int32_t) override { return blocks < 0 || static_cast<int>(positions.size()) < blocks; }
    void goodBlock(uint8_t* data, uint32_t bytes) override
    {
        goodSectors.push_back(state.currentSector);
        goodData.push_back(data);
        goodBytes.push_back(bytes);
    }

    ReadingState state;
    int blocks = -1;
    int pumps = 0;
    std::function<void(ScriptedHost&)> onPump;
    std::vector<int32_t> goodSectors;
    std::vector<uint8_t*> goodData;
    std::vector<uint32_t> goodBytes;
    std::vector<int32_t> positions;
};

}  // namespace rilvane::test
