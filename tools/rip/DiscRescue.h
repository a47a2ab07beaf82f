// What rilvane-rip does: finds the drive as the window does, reads the
// table of contents once, then reads every chosen track with the program's
// read loop into its own WAV file (or only reads it, with --scan), going on
// with the next track when one hits the error limit.
#pragma once

#include <ostream>

#include "RescueConsole.h"
#include "RescueReport.h"
#include "RipToolArguments.h"

namespace rilvane {
class BlockReader;
}

namespace rilvane::riptool {

struct ExitCode {
    static constexpr int kAllRead = 0;
    static constexpr int kBlocksFailed = 1;
    static constexpr int kUsage = 2;
    static constexpr int kNoDisc = 3;
    static constexpr int kInterrupted = 130;
};

class DiscRescue {
public:
    // Log lines and progress go to `console`, the summary to `out`.
    DiscRescue(const RipToolArguments& args, RescueConsole& console, std::ostream& out);

    // Runs the whole rescue and returns the exit code.
    int run();

private:
    int rescue();
    int finish(int code);
    void ripTrack(BlockReader& reader, TrackReport& track);

    const RipToolArguments& args_;
    RescueConsole& console_;
    std::ostream& out_;
    RescueReport report_;
};

}  // namespace rilvane::riptool
