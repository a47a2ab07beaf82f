// A main window stand-in for the session tests: it holds the reading state
// the way TMainForm does and lets a test act "between two reads" from its
// message pump.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "drive/LogSink.h"
#include "drive/ReadingState.h"
#include "drive/SessionWindow.h"

namespace rilvane::test {

class FakeSessionWindow : public SessionWindow, public LogSink {
public:
    FakeSessionWindow() { reading.trackTable.presetStartup(); }

    void processEvents() override
    {
        ++pumps;
        if (onPump) onPump(pumps);
    }
    int32_t positionValue() const override { return position; }
    void showPosition(int32_t s) override
    {
        position = s;
        shown.push_back(s);
    }
    LogSink& log() override { return *this; }
    void drawWaveform(const uint8_t* staging) override
    {
        ++waveforms;
        lastStaging.assign(staging, staging + 117600);
    }
    void logLine(const std::string& line) override { lines.push_back(line); }

    ReadingState reading;
    int32_t position = 500;
    int pumps = 0;
    int waveforms = 0;
    std::vector<uint8_t> lastStaging;  // as handed to the sound buffer
    std::function<void(int pump)> onPump;
    std::vector<int32_t> shown;
    std::vector<std::string> lines;
};

}  // namespace rilvane::test
