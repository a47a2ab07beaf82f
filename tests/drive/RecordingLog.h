// A log that keeps every line, for the drive tests.
#pragma once

#include <string>
#include <vector>

#include "drive/LogSink.h"

namespace rilvane::test {

class RecordingLog : public LogSink {
public:
    void logLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

}  // namespace rilvane::test
