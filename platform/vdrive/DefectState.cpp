#include "DefectState.h"

#include "ScsiOpcodes.h"
#include "ScsiReplies.h"
#include "SectorCache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

namespace rilvane::vdrive {

namespace {

uint64_t drawSeed()
{
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device source;
        seed ^= uint64_t{source()} << 32 | source();
    } catch (const std::exception&) {
        // No random source: the clock alone still differs between runs.
    }
    return seed;
}

template <typename Reads>
uint32_t readsOf(const Reads& reads, int64_t sector)
{
    const auto it = reads.find(sector);
    return it == reads.end() ? 0 : it->second;
}

}  // namespace

DefectState::DefectState(DefectMap map) : map_(std::move(map)), corruptSeed_(drawSeed()) {}

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
                                                  uint32_t speed, uint32_t& dataLength)
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
    if (flakyFailure) {
        DefectAction action;
        action.sense = flakyFailure->sense;
        action.delayMs = flakyFailure->delayMs;
        return defectReply(action, timeLimitMs_);
    }
    for (const SlowRange& range : map_.slow()) {
        if (speed <= range.maxSpeed)
            continue;
        const int64_t from = std::max<int64_t>(range.first, lba);
        const int64_t to = std::min<int64_t>(range.last, end - 1);
        for (int64_t f = from; f <= to; ++f)
            if (!cache.contains(f))
                return checkCondition(kUnrecoveredReadError);
    }
    return std::nullopt;
}

bool DefectState::wouldGoWrong(int64_t sector, uint32_t speed) const
{
    if (map_.find(sector, 1))
        return true;
    for (const FlakyRange& range : map_.flaky())
        if (sector >= range.first && sector <= range.last && readsOf(flakyReads_, sector) < range.failures)
            return true;
    for (const CorruptRange& range : map_.corrupt())
        if (sector >= range.first && sector <= range.last && readsOf(corruptReads_, sector) < range.reads)
            return true;
    for (const SlowRange& range : map_.slow())
        if (sector >= range.first && sector <= range.last && speed > range.maxSpeed)
            return true;
    return false;
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
        uint64_t state = (static_cast<uint64_t>(sector) * 0x9E3779B97F4A7C15ULL ^ (uint64_t{read} << 32 | 0x5BD1E995U) ^
                          corruptSeed_) |
                         1;  // xorshift never leaves 0
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
        // A lying drive calls every reading clean.
        if (map_.c2() == C2Support::Lies)
            std::memset(c2, 0, 294);
        return;
    }
}

}  // namespace rilvane::vdrive
