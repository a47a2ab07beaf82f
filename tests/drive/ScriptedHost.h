// A read loop host that owns the current sector and stop request, as the
// window does, and records what the loop did.
#pragma once

#include <functional>
#include <vector>

#include "drive/BlockSink.h"
#include "drive/SessionWindow.h"

namespace rilvane::test {

class ScriptedHost : public SessionWindow, public BlockSink, public LogSink {
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
    void setStopRequested(bool s) override
    {
        if (!s)
            ++clears;
        stop = s;
    }
    int32_t positionValue() const override { return sector; }
    void showPosition(int32_t s) override { positions.push_back(s); }
    bool karaokeChecked() const override { return false; }
    LogSink& log() override { return *this; }
    TrackTable& trackTable() override { return table; }
    void drawWaveform(const uint8_t*) override {}
    void logLine(const std::string&) override {}

    bool tocDone(const TocResult&) override { return true; }
    // Reads as many blocks as `blocks` allows; negative: no limit.
    bool keepReading(int32_t) override { return blocks < 0 || static_cast<int>(positions.size()) < blocks; }
    void goodBlock(uint8_t* data, uint32_t bytes) override
    {
        goodSectors.push_back(sector);
        goodData.push_back(data);
        goodBytes.push_back(bytes);
    }

    int32_t sector = 0;
    bool stop = false;
    int blocks = -1;
    int pumps = 0;
    int clears = 0;
    TrackTable table;
    std::function<void(ScriptedHost&)> onPump;
    std::vector<int32_t> goodSectors;
    std::vector<uint8_t*> goodData;
    std::vector<uint32_t> goodBytes;
    std::vector<int32_t> positions;
};

}  // namespace rilvane::test
