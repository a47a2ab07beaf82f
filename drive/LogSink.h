// Where drive, playback and ripping code report: one whole line at a time.
#pragma once

#include <string>

namespace rilvane {

class LogSink {
public:
    virtual ~LogSink() = default;
    // One line of the log pane, UTF-8, without a line break.
    virtual void logLine(const std::string& line) = 0;
};

}  // namespace rilvane
