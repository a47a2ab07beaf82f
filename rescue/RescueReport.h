// What a rescue found, per track and for the disc: sectors read in the
// copy pass, recovered by narrowing, recovered by retries, verified, still
// suspect and still missing (with their places), reads made and failed, and
// the time each pass took. Printed as the summary, written as JSON for
// scripts and into the log file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "proof/DiscIds.h"
#include "rescue/Json.h"
#include "rescue/RescueObserver.h"
#include "proof/TrackChecksums.h"

namespace rilvane::rescue {

// Consecutive sectors, disc addresses, both ends included.
struct SectorRange {
    int32_t firstSector = 0;
    int32_t lastSector = 0;
};

// The times of a range in its track, the one rule for the summary, the
// JSON report and the log: it starts where its first sector starts and
// ends where its last sector ends (the start of the sector after it), so a
// single sector runs from 00:01.00 to 00:01.01.
std::string rangeStartTime(const SectorRange& r, int32_t trackStart);
std::string rangeEndTime(const SectorRange& r, int32_t trackStart);

// `text` with its first '.' at or before `upTo` a German decimal comma.
std::string decimalComma(std::string text, size_t upTo = std::string::npos);

struct SectorCounts {
    int64_t earlier = 0;   // good from an earlier run
    int64_t copied = 0;    // read in the copy pass
    int64_t narrowed = 0;  // recovered by reading sector by sector
    int64_t retried = 0;   // recovered by retries
    int64_t verified = 0;  // good, and confirmed by a second reading
    int64_t suspect = 0;   // a reading is kept, but it is not trustworthy
    int64_t missing = 0;   // no reading at all: silence in the files
    int64_t unconfirmed = 0;  // read once; neither a second reading nor trusted C2 confirms it
    int64_t reads = 0;
    int64_t failedReads = 0;
    std::array<double, kPassCount> passSeconds{};  // reading time by pass

    void add(const SectorCounts& o);
};

struct TrackReport {
    int track = 0;
    int32_t firstSector = 0;   // the track's start
    int32_t endSector = 0;     // the first sector after it
    bool dataTrack = false;    // not read, no file
    std::string file;          // empty with --scan, for a data track or when none was made
    SectorCounts counts;
    std::vector<SectorRange> missing;
    std::vector<SectorRange> suspect;
    std::vector<SectorRange> unconfirmed;  // read once, nothing confirmed the reading
    bool fileFailed = false;   // the file could not be made or written whole
    std::optional<proof::Checksums> checksums;  // of the audio in the file
    std::string accurateRip;   // how they compare with the AccurateRip database, if asked
    bool preEmphasis = false;  // the table of contents flags the track with pre-emphasis
};

struct PassReport {
    std::string name;
    bool ran = false;
    int64_t reads = 0;
    int64_t failedReads = 0;
    double seconds = 0;
};

struct RescueReport {
    std::string drive;
    bool scan = false;
    bool karaoke = false;
    bool verify = false;
    bool c2 = false;
    int c2Bytes = 0;          // the form of the pointers: 294 or 296 bytes a sector
    bool c2Trusted = false;   // the pointers proved right and never wrong
    int64_t cacheSectors = 0; // the drive's cache as the rescue reckoned with it
    bool cacheMeasured = false;
    bool cacheFua = false;    // READ(12) with FUA proved to empty it
    std::string cacheText;    // how the size was found, in words
    int64_t failedFlushes = 0;
    uint16_t retrySpeed = 0;  // kB/s the drive granted for narrowing and retries
    int retries = 0;
    int passesAllowed = 3;
    bool resumed = false;
    bool interrupted = false;
    bool timeUp = false;
    bool driveGone = false;
    bool refused = false;     // the run was refused: nothing was read
    std::string problem;      // why the rescue could not be done or ended early
    std::optional<Json> subchannel;  // what the sub-channel said (empty: not asked)
    std::string workingCopy;  // empty with --scan
    std::string mapFile;
    std::string earlierDrive;  // the drive of the earlier readings, when it was another one
    int64_t contested = 0;     // sectors the two drives read differently
    bool mapSaved = true;     // false when the last save of the map failed: it is older than what was read
    std::vector<TrackReport> tracks;
    std::array<PassReport, kPassCount> passes;
    std::optional<proof::DiscIds> ids;  // once the table of contents is known
    int readOffset = 0;

    SectorCounts totals() const;
    bool anyFileFailed() const;

    void printSummary(std::ostream& out) const;
    void writeJson(std::ostream& out) const;
};

// `sectors` from a track's start as mm:ss.ff (ff: sectors, 75 a second).
std::string trackTime(int64_t sectors);


// Whether `text` is valid UTF-8.
bool isUtf8(const std::string& text);

// German number agreement: "1 fehlerhafter Block", "2 fehlerhafte Blöcke".
std::string counted(int64_t n, const char* one, const char* many);

}  // namespace rilvane::rescue
