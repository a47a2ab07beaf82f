// What a rescue found: per track the blocks read and failed, where the
// failures lie, and whether the error limit ended the track early. Printed
// as the summary and written as JSON for scripts.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace rilvane::riptool {

// Consecutive failed sectors, disc addresses, both ends included.
struct FailedRange {
    int32_t firstSector = 0;
    int32_t lastSector = 0;
};

struct TrackReport {
    int track = 0;
    int32_t firstSector = 0;   // the track's start
    int32_t endSector = 0;     // the first sector after it
    std::string file;          // empty with --scan or when none was made
    int64_t blocksRead = 0;
    int64_t blocksFailed = 0;
    std::vector<FailedRange> failedRanges;
    bool errorLimitReached = false;
    bool interrupted = false;  // Ctrl+C came while this track was read
    bool fileFailed = false;   // the file could not be made or written whole

    // Adds the failed block at `first` .. `first + sectors - 1`, joining it
    // to the range before when they touch.
    void addFailure(int32_t first, int32_t sectors);
};

struct RescueReport {
    std::string drive;
    bool scan = false;
    bool fillSilence = false;
    bool karaoke = false;
    bool interrupted = false;
    std::string problem;  // why nothing could be read (no drive, no table of contents)
    std::vector<TrackReport> tracks;

    int64_t blocksRead() const;
    int64_t blocksFailed() const;
    bool anyFileFailed() const;

    void printSummary(std::ostream& out) const;
    void writeJson(std::ostream& out) const;
};

// `sectors` from a track's start as mm:ss.ff (ff: sectors, 75 a second).
std::string trackTime(int64_t sectors);

// `text` as a JSON string, quotes included; bytes that are not UTF-8 become
// U+FFFD, control characters are escaped.
std::string jsonString(const std::string& text);

}  // namespace rilvane::riptool
