// What rilvane-rip shows while it rescues: the rescue's log lines, and one
// progress line per pass (pass, percent, speed, time left, failed reads),
// redrawn in place on a terminal and written as plain lines (at the start,
// every tenth and at the end) everywhere else; at the end the summary on
// the standard output.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "rescue/RescueObserver.h"

namespace rilvane::riptool {

class ConsoleObserver : public rescue::RescueObserver {
public:
    // Progress and log lines go to `out` (redrawn when it is a terminal),
    // the summary to `summary`.
    ConsoleObserver(std::ostream& out, bool terminal, std::ostream& summary);

    void passStarted(rescue::PassId pass, rescue::Round round, int64_t sectors) override;
    void progress(int64_t done, int64_t total, int64_t failedReads) override;
    void passFinished(rescue::PassId pass, int64_t reads, int64_t failedReads) override;
    void logLine(const rescue::LogLine& line) override;
    bool summary(const std::string& text) override;

private:
    std::string line() const;
    void draw(bool force);
    void put(const std::string& text);

    using Clock = std::chrono::steady_clock;
    std::ostream& out_;
    bool terminal_;
    std::ostream& summary_;
    bool inPass_ = false;
    bool lineShown_ = false;  // a progress line stands unfinished on the terminal
    rescue::PassId pass_ = rescue::PassId::Copy;
    std::string name_;
    int64_t total_ = 0;
    int64_t done_ = 0;
    int64_t failed_ = 0;
    int lastTenth_ = -1;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

}  // namespace rilvane::riptool
