// The passes of a rescue, on the drive code's block reader:
//
//   1 copy     ten-sector reads over every sector not read yet; a failed
//              read marks its sectors for narrowing, and failures in a row
//              make the engine skip ahead (twice as far each time) and
//              leave the stretch for later;
//   2 narrow   every such sector read alone;
//   3 retry    what is still missing read again, round after round, each
//              sector at most `retries` more times;
//   verify     (--verify) every good sector read a second time.
//
// A sector counts as good when a read brings it without an error and, on a
// drive that reports C2 error pointers, with all of them clear. A sector
// recovered by passes 2 and 3 on a drive without C2 needs two equal
// readings with the drive's cache defeated in between (by reading as many
// other sectors first as the cache holds).
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
    bool verify = false;
    bool useC2 = false;
    uint32_t cacheSectors = 2400;
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

class RescueEngine {
public:
    // `copy` may be null (reading only); `checkpoint(force)` saves the map
    // (force: now; otherwise when it is time) and returns false when it
    // could not.
    RescueEngine(BlockReader& reader, RescueMap& map, WorkingCopy* copy, const EngineOptions& options,
                 RescueLog& log, const StopToken& stop, std::function<bool(bool)> checkpoint);

    EngineEnd run();

    const std::array<PassStats, kPassCount>& passes() const { return passes_; }
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
    void flushCache(int32_t avoidFirst, int32_t avoidEnd);
    bool recentlyRead(int32_t s) const;
    void markGood(int32_t s, const uint8_t* bytes, SectorState state, Origin origin);
    bool writeCopy(int32_t s, const uint8_t* bytes, int32_t count);
    bool sameAsCopy(int32_t s, const uint8_t* bytes);
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
    bool gone_ = false;
    bool noMedium_ = false;
    bool copyFailed_ = false;
    bool timeUp_ = false;
    int32_t firstAudio_ = 0;
};

}  // namespace rilvane::rescue
