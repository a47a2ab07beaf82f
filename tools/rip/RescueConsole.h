// What rilvane-rip shows while it reads: the program's log lines and one
// progress line per track, redrawn in place on a terminal and written as
// plain lines (at the start, every tenth and at the end) everywhere else.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "drive/LogSink.h"

namespace rilvane::riptool {

class RescueConsole : public LogSink {
public:
    RescueConsole(std::ostream& out, bool terminal);

    // A log line; while a track is read it carries the track and the time
    // in the track of the block being read.
    void logLine(const std::string& line) override;

    void startTrack(int track, int32_t firstSector, int32_t endSector);
    // The block at `sector` is about to be read.
    void reading(int32_t sector) { readingSector_ = sector; }
    // The read position moved on to `sector`; `failed` blocks failed so far.
    void progress(int32_t sector, int64_t failed);
    // The track is over; `note` (may be empty) says how it ended.
    void finishTrack(const std::string& note);

private:
    std::string line() const;
    void draw(bool force);

    using Clock = std::chrono::steady_clock;
    std::ostream& out_;
    bool terminal_;
    bool inTrack_ = false;
    bool lineShown_ = false;  // a progress line stands unfinished on the terminal
    int track_ = 0;
    int32_t first_ = 0;
    int32_t end_ = 0;
    int32_t sector_ = 0;
    int32_t readingSector_ = 0;
    int64_t failed_ = 0;
    int lastTenth_ = -1;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

}  // namespace rilvane::riptool
