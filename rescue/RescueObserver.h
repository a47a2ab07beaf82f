// What a rescue tells whoever shows it, as events with numbers, never as
// sentences: a pass or one of its rounds starting, sectors changing state,
// progress, a drive's error for a sector, and the lines the rescue writes
// into its log file (the one exception: a log line carries its text as the
// log file has it, so a log pane can show the same).
//
// Threads: every event is called on the thread that runs the rescue, one
// at a time. An observer that hands them to another thread (a window's)
// copies what it needs; it must not call back into the rescue, and should
// return quickly (the drive waits meanwhile).
#pragma once

#include <cstdint>
#include <string>

#include "rescue/RescueMap.h"

namespace rilvane::rescue {

enum class PassId : int { Copy = 0, Narrow = 1, Retry = 2, Verify = 3 };
inline constexpr int kPassCount = 4;

// Which part of a pass starts: the pass itself, the confirming round of
// narrowing (a second reading of each sector read without C2 pointers), or
// retry round `number` of the retry and verify passes.
enum class RoundKind { Pass, Confirm, Retry };
struct Round {
    RoundKind kind = RoundKind::Pass;
    int number = 0;
};

// The sense data of a failed read, as the drive gave it.
struct SenseCode {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

enum class LineKind {
    Setup,     // set-up of the rescue and its refusals
    Drive,     // the drive's own line for a failed command
    Reading,   // the engine: why reading stops, a failed write
};

struct LogLine {
    LineKind kind = LineKind::Setup;
    int32_t sector = -1;  // the sector of the read it belongs to; -1: none
    bool fileOnly = false;  // a failed single-sector read's drive line: in the log file only
    std::string text;     // the line as the log file has it
};

class RescueObserver {
public:
    virtual ~RescueObserver() = default;

    // A pass starts (Round kind Pass; `sectors` 0 when its rounds say how
    // many), or a round of it over `sectors` sectors.
    virtual void passStarted(PassId /*pass*/, Round /*round*/, int64_t /*sectors*/) {}
    // Sectors [first, end) are now in `state`.
    virtual void sectorsChanged(int32_t /*first*/, int32_t /*end*/, SectorState /*state*/) {}
    // The read at `sector` is about to be made.
    virtual void reading(int32_t /*sector*/) {}
    // `done` of the round's `total` sectors are handled; `failedReads`
    // reads of the pass failed.
    virtual void progress(int64_t /*done*/, int64_t /*total*/, int64_t /*failedReads*/) {}
    virtual void passFinished(PassId /*pass*/, int64_t /*reads*/, int64_t /*failedReads*/) {}
    // A read of `count` sectors from `sector` failed with this sense data.
    virtual void driveError(int32_t /*sector*/, int32_t /*count*/, SenseCode /*sense*/) {}
    virtual void logLine(const LogLine& /*line*/) {}
    // The closing summary, as the log file has it; false when it could not
    // be shown (errno says why).
    virtual bool summary(const std::string& /*text*/) { return true; }
};

}  // namespace rilvane::rescue
