// The defect map at work: where the drive is in its start-up answers, how
// often each flaky and corrupt sector has been read, and what that does to
// the command at hand.
#pragma once

#include "DefectMap.h"
#include "VirtualDrive.h"

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace rilvane::vdrive {

class SectorCache;

class DefectState {
public:
    explicit DefectState(DefectMap map);

    const DefectMap& map() const { return map_; }

    // The time limit of the commands from now on (0: none); see defectReply.
    void setTimeLimit(uint32_t milliseconds) { timeLimitMs_ = milliseconds; }
    uint32_t timeLimit() const { return timeLimitMs_; }

    // Before it answers normally the drive may have no disc, be spinning up
    // or report the disc change: the answer to give instead of the command's.
    std::optional<ScsiReply> startupAnswer(uint8_t opcode);

    // A read of count sectors from lba that is about to reach the disc at
    // `speed`: the failure of a defect range, of a flaky sector with failures
    // left or of a slow sector read too fast, or nothing. Every flaky sector
    // the read touches counts a read, unless the cache holds it. A
    // short-transfer defect lowers dataLength instead.
    std::optional<ScsiReply> readFailure(int64_t lba, int64_t count, const SectorCache& cache, uint32_t speed,
                                         uint32_t& dataLength);

    // Whether a read of this sector alone at `speed` would fail or bring it
    // wrong, without counting it as a read (read-ahead stops there).
    bool wouldGoWrong(int64_t sector, uint32_t speed) const;

    // A sector just read from the image, as this read brings it: wrong where
    // the sector is corrupt and has wrong reads left; c2 (294 bytes, cleared
    // by the caller) then flags the wrong bytes, one bit a byte, first byte
    // in the most significant bit.
    void damage(int64_t sector, uint8_t* raw, uint8_t* c2);

    // Whether any sector may read differently from the image.
    bool corrupts() const { return !map_.corrupt().empty(); }

private:
    DefectMap map_;
    size_t startupStep_ = 0;
    uint32_t timeLimitMs_ = 0;
    uint32_t startupAnswered_ = 0;
    std::unordered_map<int64_t, uint32_t> flakyReads_;
    std::unordered_map<int64_t, uint32_t> corruptReads_;
    // Mixed into every wrong reading, drawn anew for each drive, so that a
    // corrupt sector does not read wrong the same way in the next process.
    uint64_t corruptSeed_;
};

}  // namespace rilvane::vdrive
