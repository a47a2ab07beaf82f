// The passes of a rescue, on the drive code's block reader:
//
//   1 copy     ten-sector reads over every sector not read yet; a failed
//              read marks its sectors for narrowing, and failures in a row
//              make the engine skip ahead (twice as far each time) and
//              leave the stretch for later;
//   2 narrow   every such sector read alone;
//   3 retry    what is still missing read again, round after round, each
//              sector at most `retries` more times;
//   verify     every good sector that nothing else proves read a second
//              time, with the drive's cache defeated, and compared.
//
// The engine believes only what the drive proves:
//
// - Cache: after the copy pass it learns by timing how many sectors the
//   drive's cache holds (a re-read from the cache takes no time), and
//   whether READ(12) with FUA empties it. The cache is defeated by FUA
//   where that is proven, otherwise by reading sectors that were not read
//   lately, far away, as many as the cache holds (a little more, for the
//   drive's read-ahead). Where a flush cannot be done (the disc is smaller
//   than the cache) readings after it confirm nothing.
// - C2: a sector that reads without flagged bytes is good. The pointers
//   are trusted once proven (a reading they flagged turned out wrong: a
//   later clean reading differs) and for as long as no sector reads
//   differently twice with clean pointers; untrusted pointers prove
//   nothing, and only equal readings count.
// - A good sector is confirmed by trusted C2 or by a second equal reading;
//   verification (on by default) reads the others again.
// - Speed: the copy and verify passes run at the drive's top speed,
//   narrowing and retries at `retrySpeed`; the drive is set back to its top
//   speed at the end.
//
// The engine reads only between checks of the stop token, the time limit
// and the drive's presence; the map is handed to `checkpoint` regularly.
// It tells what it does through the rescue's log (and so its observer).
//
// Threads: run() runs on one thread and changes the map there; the stop
// token may be triggered from any thread, and other threads read the map
// only through RescueMap::snapshot().
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "rescue/RescueMap.h"
#include "drive/BlockReader.h"
#include "rescue/RescueLog.h"
#include "rescue/RescueObserver.h"
#include "rescue/StopToken.h"
#include "rescue/WorkingCopy.h"

namespace rilvane::rescue {

struct EngineOptions {
    int passes = 3;
    int retries = 10;
    bool verify = true;      // confirm what nothing else proves
    bool verifyAll = false;  // read every good sector a second time, also where C2 proves it
    bool useC2 = false;      // the drive gives C2 pointers (in the reader's form)
    uint32_t cacheSectors = 2400;
    bool learnCache = true;  // false: cacheSectors was given and stands
    int retrySpeed = 8;      // ×, for narrowing and retries; 0: the speed is left alone
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::vector<bool> wanted;  // per sector: to be rescued (empty: all)
    // What the map calls read came from another drive: where this one reads
    // it differently, neither reading is taken (see contested()).
    bool earlierFromOtherDrive = false;
};

// Where a sector became good in this run.
enum class Origin : uint8_t { Earlier, Copy, Narrow, Retry, Verify };

struct PassStats {
    bool ran = false;
    int64_t reads = 0;
    int64_t failedReads = 0;
    double seconds = 0;
};

enum class EngineEnd { Done, Stopped, TimeUp, DriveGone, NoMedium, CopyFailed };

// What the engine found out about the drive's cache.
struct CacheFindings {
    bool measured = false;     // the size comes from timing
    bool atLeast = false;      // the cache held everything the disc allowed to try
    uint32_t sectors = 0;      // the size used to defeat it
    bool fua = false;          // READ(12) with FUA proved to empty it
    std::string how;           // in words, for log and report
    int64_t failedFlushes = 0; // flushes that could not read enough sectors
};

class RescueEngine {
public:
    // `copy` may be null (reading only); `checkpoint(force)` saves the map
    // (force: now; otherwise when it is time) and returns false when it
    // could not.
    RescueEngine(BlockReader& reader, RescueMap& map, WorkingCopy* copy, const EngineOptions& options,
                 RescueLog& log, const StopToken& stop, std::function<bool(bool)> checkpoint);

    EngineEnd run();

    const std::array<PassStats, kPassCount>& passes() const { return passes_; }
    const CacheFindings& cache() const { return cache_; }
    // Whether the C2 pointers confirm what they call clean.
    bool c2Trusted() const { return options_.useC2 && c2Proven_ && !c2Disproven_; }
    bool c2Disproven() const { return c2Disproven_; }
    // The speed the drive granted for narrowing and retries (kB/s; 0: not set).
    uint16_t retrySpeedGranted() const { return retryGranted_; }
    // Sectors this drive read otherwise than the other drive whose reading
    // the copy holds: both readings stay unsure (suspect) until a third
    // reading, on another drive, decides; this run does not read them again.
    const std::vector<int32_t>& contested() const { return contested_; }
    Origin origin(int32_t s) const { return origin_[static_cast<size_t>(s)]; }
    // Reads (and failed reads) whose first sector lies in [first, end).
    int64_t readsIn(int32_t first, int32_t end) const;
    int64_t failedReadsIn(int32_t first, int32_t end) const;
    // Seconds the reads whose first sector lies in [first, end) took, by pass.
    std::array<double, kPassCount> secondsIn(int32_t first, int32_t end) const;

private:
    struct Reading {
        std::array<uint8_t, cd::kSectorBytes> bytes;
        uint16_t c2Bits = 0;
    };

    bool mustStop();
    bool wanted(int32_t s) const
    {
        return options_.wanted.empty() ||
               (static_cast<size_t>(s) < options_.wanted.size() && options_.wanted[static_cast<size_t>(s)]);
    }
    // The first run at or after `from` of wanted sectors in `states`;
    // empty at the end of the disc when there is none.
    SectorRun nextOpen(int32_t from, StateSet states) const;
    // How many wanted sectors from the first audio track on are in `states`.
    int64_t countOpen(StateSet states) const;
    // One read of `count` sectors (1 to 10); the sectors at block_, the C2
    // bits per sector in c2Bits_. False on failure.
    bool readSectors(int32_t first, int32_t count);
    void copyPass();
    // Reads each sector of `targets` alone once; after a flush of the
    // drive's cache where one of them was read well not long ago.
    void round(const std::vector<int32_t>& targets, Origin origin);
    void trySingle(int32_t s, Origin origin);
    void verifyPass();
    // Reads as many good sectors far from `avoidFirst`..`avoidEnd` as the
    // drive's cache holds.
    // Returns false when the cache could not be defeated.
    bool flushCache(int32_t avoidFirst, int32_t avoidEnd);
    // Learning the cache by timing, and its helpers.
    void learnCache();
    bool timedRead(int32_t first, double& seconds);
    // The next `count` good audio sectors from `cursor_` on (wrapping) none
    // of which was read in the last `fresh` sectors; -1 when there are none.
    int32_t takeFresh(int32_t count, int64_t fresh);
    // Reads `sectors` fresh sectors; false when the disc has too few.
    bool readFresh(int64_t sectors, int64_t fresh);
    bool forceUnitAccess();
    // Asks the drive for a speed and logs what it granted.
    uint16_t setSpeed(uint16_t kilobytes, const std::string& why);
    void noteC2Lie(int32_t s);
    bool recentlyRead(int32_t s) const;
    // How many sectors a flush reads.
    uint32_t flushSectors() const;
    void markGood(int32_t s, const uint8_t* bytes, SectorState state, Origin origin);
    bool writeCopy(int32_t s, const uint8_t* bytes, int32_t count);
    bool sameAsCopy(int32_t s, const uint8_t* bytes);
    // A second clean reading of good sector `at` against the copy: equal
    // (and `fresh`, the cache defeated) makes it verified, different makes
    // it suspect. True when it was demoted.
    bool compareWithCopy(int32_t at, const uint8_t* bytes, bool fresh);
    void beginPass(PassId pass, int64_t sectors);
    void beginRound(Round round, int64_t sectors);
    // Sets the sector's state in the map and tells the observer.
    void setState(int32_t s, SectorState state, uint16_t tries = 0, uint16_t c2Bits = 0);
    void endPass();
    void showProgress();

    BlockReader& reader_;
    RescueMap& map_;
    WorkingCopy* copy_;
    EngineOptions options_;
    RescueLog& log_;
    const StopToken& stop_;
    std::function<bool(bool)> checkpoint_;

    std::array<PassStats, kPassCount> passes_{};
    PassId pass_ = PassId::Copy;
    std::chrono::steady_clock::time_point passStarted_;
    int64_t passSectors_ = 0;
    int64_t passDone_ = 0;

    std::vector<SectorRun> wantedRuns_;  // in disc order, each as long as it goes
    std::vector<Origin> origin_;
    std::vector<int64_t> lastGoodRead_;  // goodSectors_ when the sector was last read well
    std::vector<int32_t> runTries_;      // single-sector reads of this run
    std::vector<int32_t> readsByStart_;
    std::vector<int32_t> failedByStart_;
    std::vector<std::array<float, kPassCount>> secondsByStart_;
    int64_t goodSectors_ = 0;            // sectors read without an error so far
    std::unordered_map<int32_t, Reading> best_;     // least damaged C2 reading
    std::unordered_map<int32_t, Reading> pending_;  // a reading waiting for its equal
    std::vector<int32_t> contested_;
    std::vector<bool> isContested_;
    std::array<uint8_t, cd::kReadBlockBytes> block_{};
    std::array<uint16_t, cd::kSectorsPerRead> c2Bits_{};
    uint32_t c2Stride_ = 0;
    double lastReadSeconds_ = 0;
    CacheFindings cache_;
    bool cacheDefeated_ = true;  // the last round's flush worked (or none was needed)
    bool c2Proven_ = false;
    bool c2Disproven_ = false;
    uint16_t topSpeed_ = 0;
    uint16_t retryGranted_ = 0;
    int32_t cursor_ = 0;
    int32_t avoidFirst_ = 0;  // takeFresh leaves these out
    int32_t avoidEnd_ = 0;
    bool probing_ = false;
    bool cacheSuspected_ = false;
    bool speedSet_ = false;
    bool speedRefused_ = false;
    uint16_t speedAsked_ = 0;
    uint16_t speedGranted_ = 0;
    bool gone_ = false;
    bool noMedium_ = false;
    bool copyFailed_ = false;
    bool timeUp_ = false;
    int32_t firstAudio_ = 0;
};

}  // namespace rilvane::rescue
