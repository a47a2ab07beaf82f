// The command line of rilvane-rip.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drive/CdAudio.h"
#include "rescue/FileNamePattern.h"

namespace rilvane::riptool {

using rescue::FileNamePattern;

struct RipToolArguments {
    enum class Action { Rip, Help, Version, CheckLog };
    Action action = Action::Rip;
    int drive = 0;                // index into the drive list, as rilvane-probe lists it
    std::set<int> tracks;         // empty: every track of the disc
    std::string outDir = ".";
    FileNamePattern name;
    bool fillSilence = false;     // accepted for old scripts: missing sectors are always silence
    bool karaoke = false;
    bool scan = false;
    std::string reportPath;       // empty: no JSON report
    bool force = false;
    int offset = 0;               // the drive's read offset correction, in samples
    bool flac = false;            // FLAC files instead of WAV
    std::string checkLog;         // --check-log: the log whose seal is checked
    std::string accurateRipFile;  // the disc's file from the AccurateRip database, to compare with
    int retries = 10;             // more single-sector reads of a sector still missing
    int passes = 3;               // 1 copy, 2 and narrow, 3 and retry
    bool verify = false;
    std::optional<long> maxSeconds;
    int cacheSectors = 2400;      // sectors read elsewhere to empty the drive's cache

    // Empty when the arguments make no sense; `error` then says why (German).
    static std::optional<RipToolArguments> parse(const std::vector<std::string>& args, std::string& error);
    static const char* usage();
};

// The largest read offset taken: five sectors of samples. Known drives stay
// far below it, and AccurateRip leaves out exactly that much at the disc's
// edges, so its sums still mean something at the limit.
constexpr int kMaxOffset = 5 * static_cast<int>(cd::kFramesPerSector);

// "90", "90s", "15m", "2h", "1h30m": seconds; empty when not a duration.
std::optional<long> parseDuration(const std::string& text);

// The options that change what a rescue reads and writes, as a command line
// would give them (for the log).
std::string describeOptions(const RipToolArguments& args);

// "1,3,5-7" as track numbers 1 to 99, or "all" (an empty set).
std::optional<std::set<int>> parseTrackList(const std::string& text);

}  // namespace rilvane::riptool
