#include "DefectState.h"

#include "ScsiOpcodes.h"
#include "ScsiReplies.h"
#include "SectorCache.h"

#include <algorithm>

namespace rilvane::vdrive {

std::optional<ScsiReply> DefectState::startupAnswer(uint8_t opcode)
{
    // INQUIRY is answered all the same.
    const auto& startup = map_.startup();
    if (opcode == op::kInquiry || startupStep_ >= startup.size())
        return std::nullopt;
    const StartupAnswer& step = startup[startupStep_];
    if (step.count != 0 && ++startupAnswered_ >= step.count) {
        ++startupStep_;
        startupAnswered_ = 0;
    }
    return checkCondition(step.sense);
}

std::optional<ScsiReply> DefectState::readFailure(int64_t lba, int64_t count, const SectorCache& cache,
                                                  uint32_t& dataLength)
{
    if (const DefectRange* defect = map_.find(lba, count)) {
        if (!defect->action.shortTransfer)
            return defectReply(defect->action, timeLimitMs_);
        // The drive reports success but stops sending early.
        dataLength = std::min(dataLength, defect->action.shortBytes);
    }
    // Sectors that still fail some reads: every read that reaches the disc
    // counts for each of them, and one with failures left fails the read.
    const int64_t end = lba + count;
    const FlakyRange* flakyFailure = nullptr;
    for (const FlakyRange& range : map_.flaky()) {
        const int64_t from = std::max<int64_t>(range.first, lba);
        const int64_t to = std::min<int64_t>(range.last, end - 1);
        for (int64_t f = from; f <= to; ++f) {
            if (cache.contains(f))
                continue;
            if (++flakyReads_[f] <= range.failures && !flakyFailure)
                flakyFailure = &range;
        }
    }
    if (!flakyFailure)
        return std::nullopt;
    DefectAction action;
    action.sense = flakyFailure->sense;
    action.delayMs = flakyFailure->delayMs;
    return defectReply(action, timeLimitMs_);
}

void DefectState::damage(int64_t sector, uint8_t* raw, uint8_t* c2)
{
    for (const CorruptRange& range : map_.corrupt()) {
        if (sector < range.first || sector > range.last)
            continue;
        const uint32_t read = ++corruptReads_[sector];
        if (read > range.reads)
            return;
        // A burst of wrong bytes whose place, length and values depend on
        // the sector and the read: no two wrong readings are alike.
        uint64_t state = static_cast<uint64_t>(sector) * 0x9E3779B97F4A7C15ULL ^ (uint64_t{read} << 32 | 0x5BD1E995U);
        auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        const int length = 16 + static_cast<int>(next() % 240);
        const int start = static_cast<int>(next() % static_cast<uint64_t>(kSectorBytes - length));
        for (int i = start; i < start + length; ++i) {
            raw[i] ^= static_cast<uint8_t>(next() % 255 + 1);
            c2[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
        }
        return;
    }
}

}  // namespace rilvane::vdrive
