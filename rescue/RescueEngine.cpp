#include "rescue/RescueEngine.h"

#include <algorithm>
#include <cstring>


namespace rilvane::rescue {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kBlock = cd::kSectorsPerRead;
constexpr uint32_t kSectorBytes = cd::kSectorBytes;
constexpr uint32_t kC2Bytes = CommandCatalogue::kC2PointerBytes;
// The longest stretch skipped after failures in a row: two seconds of audio.
constexpr int32_t kMaxSkip = 150;
constexpr int64_t kNeverRead = -(int64_t{1} << 40);

uint16_t countBits(const uint8_t* c2)
{
    int bits = 0;
    for (uint32_t i = 0; i < kC2Bytes; ++i) bits += __builtin_popcount(c2[i]);
    return static_cast<uint16_t>(std::min(bits, 0xFFFE));
}

}  // namespace

RescueEngine::RescueEngine(BlockReader& reader, RescueMap& map, WorkingCopy* copy, const EngineOptions& options,
                           RescueLog& log, const StopToken& stop, std::function<bool(bool)> checkpoint)
    : reader_(reader), map_(map), copy_(copy), options_(options), log_(log), stop_(stop),
      checkpoint_(std::move(checkpoint)),
      origin_(static_cast<size_t>(map.sectors()), Origin::Earlier),
      lastGoodRead_(static_cast<size_t>(map.sectors()), kNeverRead),
      runTries_(static_cast<size_t>(map.sectors()), 0),
      readsByStart_(static_cast<size_t>(map.sectors()), 0),
      failedByStart_(static_cast<size_t>(map.sectors()), 0),
      secondsByStart_(static_cast<size_t>(map.sectors()), std::array<float, kPassCount>{}),
      isContested_(static_cast<size_t>(map.sectors()), false)
{
    const DiscLayout& layout = map.layout();
    firstAudio_ = layout.leadOut;
    for (size_t t = 0; t < layout.trackStarts.size(); ++t)
        if (!layout.dataTrack[t]) {
            firstAudio_ = layout.trackStarts[t];
            break;
        }
    // The wanted sectors as runs, so that the passes look at runs of the
    // map rather than at every sector.
    if (options_.wanted.empty()) {
        wantedRuns_.push_back({0, map.sectors()});
    } else {
        for (int32_t s = 0; s < map.sectors(); ++s) {
            if (!wanted(s)) continue;
            if (!wantedRuns_.empty() && wantedRuns_.back().end == s) ++wantedRuns_.back().end;
            else wantedRuns_.push_back({s, s + 1});
        }
    }
}

int64_t RescueEngine::readsIn(int32_t first, int32_t end) const
{
    int64_t n = 0;
    for (int32_t s = first; s < end; ++s) n += readsByStart_[static_cast<size_t>(s)];
    return n;
}

int64_t RescueEngine::failedReadsIn(int32_t first, int32_t end) const
{
    int64_t n = 0;
    for (int32_t s = first; s < end; ++s) n += failedByStart_[static_cast<size_t>(s)];
    return n;
}

std::array<double, kPassCount> RescueEngine::secondsIn(int32_t first, int32_t end) const
{
    std::array<double, kPassCount> sum{};
    for (int32_t s = first; s < end; ++s)
        for (size_t p = 0; p < kPassCount; ++p) sum[p] += secondsByStart_[static_cast<size_t>(s)][p];
    return sum;
}

bool RescueEngine::mustStop()
{
    if (options_.deadline && Clock::now() >= *options_.deadline) timeUp_ = true;
    if (!copyFailed_ && !checkpoint_(false)) copyFailed_ = true;
    return gone_ || noMedium_ || copyFailed_ || timeUp_ || stop_.stopRequested();
}

bool RescueEngine::readSectors(int32_t first, int32_t count)
{
    if (first < 0 || count < 1 || count > kBlock || first + count > map_.sectors()) return false;
    log_.reading(first);
    PassStats& stats = passes_[static_cast<size_t>(pass_)];
    ++stats.reads;
    ++readsByStart_[static_cast<size_t>(first)];
    log_.hold();
    const Clock::time_point started = Clock::now();
    const uint8_t* data = options_.useC2 ? reader_.readBlockWithC2(first, count) : reader_.readBlock(first, count);
    secondsByStart_[static_cast<size_t>(first)][static_cast<size_t>(pass_)] +=
        std::chrono::duration<float>(Clock::now() - started).count();
    // The drive's line of a failed single-sector read goes to the log file
    // only, unless it says why the reading stops.
    log_.release(!data && reader_.driveGone(), count == 1 && !(!data && reader_.mediumGone()));
    if (!data) {
        if (reader_.driveGone()) {
            gone_ = true;
            log_.line(LineKind::Reading,
                      "Das Laufwerk ist nicht mehr erreichbar (Gerät nicht vorhanden): es wird nicht weiter gelesen");
            return false;
        }
        if (reader_.mediumGone()) {
            // No disc: not a damaged sector. Nothing is read until the next run.
            noMedium_ = true;
            log_.line(LineKind::Reading, "Keine CD im Laufwerk: es wird nicht weiter gelesen");
            return false;
        }
        ++stats.failedReads;
        ++failedByStart_[static_cast<size_t>(first)];
        const BlockReader::Sense& sense = reader_.lastSense();
        log_.observer().driveError(first, count, SenseCode{sense.key, sense.asc, sense.ascq});
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (options_.useC2) {
            const uint8_t* sector = data + static_cast<size_t>(i) * (kSectorBytes + kC2Bytes);
            std::memcpy(block_.data() + static_cast<size_t>(i) * kSectorBytes, sector, kSectorBytes);
            c2Bits_[static_cast<size_t>(i)] = countBits(sector + kSectorBytes);
        } else {
            c2Bits_[static_cast<size_t>(i)] = 0;
        }
        lastGoodRead_[static_cast<size_t>(first + i)] = ++goodSectors_;
    }
    if (!options_.useC2) std::memcpy(block_.data(), data, static_cast<size_t>(count) * kSectorBytes);
    return true;
}

bool RescueEngine::writeCopy(int32_t s, const uint8_t* bytes, int32_t count)
{
    if (!copy_ || copyFailed_) return !copyFailed_;
    if (copy_->write(s, bytes, count)) return true;
    log_.line(LineKind::Reading, "Konnte die Arbeitskopie nicht schreiben: " + copy_->error());
    copyFailed_ = true;
    return false;
}

bool RescueEngine::sameAsCopy(int32_t s, const uint8_t* bytes)
{
    std::array<uint8_t, kSectorBytes> stored{};
    if (!copy_ || !copy_->read(s, stored.data(), 1)) return false;
    return std::memcmp(stored.data(), bytes, kSectorBytes) == 0;
}

void RescueEngine::markGood(int32_t s, const uint8_t* bytes, SectorState state, Origin origin)
{
    if (!writeCopy(s, bytes, 1)) return;
    setState(s, state, map_.tries(s));
    origin_[static_cast<size_t>(s)] = origin;
    best_.erase(s);
    pending_.erase(s);
}

bool RescueEngine::recentlyRead(int32_t s) const
{
    return goodSectors_ - lastGoodRead_[static_cast<size_t>(s)] < int64_t{options_.cacheSectors};
}

SectorRun RescueEngine::nextOpen(int32_t from, StateSet states) const
{
    for (const SectorRun& w : wantedRuns_) {
        if (w.end <= from) continue;
        const SectorRun run = map_.nextRun(std::max(from, w.first), w.end, states);
        if (!run.empty()) return run;
    }
    return {map_.sectors(), map_.sectors()};
}

int64_t RescueEngine::countOpen(StateSet states) const
{
    int64_t n = 0;
    for (const SectorRun& w : wantedRuns_) n += map_.count(std::max(w.first, firstAudio_), w.end, states);
    return n;
}

void RescueEngine::setState(int32_t s, SectorState state, uint16_t tries, uint16_t c2Bits)
{
    map_.set(s, state, tries, c2Bits);
    log_.observer().sectorsChanged(s, s + 1, state);
}

void RescueEngine::beginPass(PassId pass, int64_t sectors)
{
    pass_ = pass;
    passes_[static_cast<size_t>(pass)].ran = true;
    passStarted_ = Clock::now();
    passSectors_ = sectors;
    passDone_ = 0;
    log_.passStarted(pass, Round{}, sectors);
}

void RescueEngine::beginRound(Round round, int64_t sectors)
{
    passSectors_ = sectors;
    passDone_ = 0;
    log_.passStarted(pass_, round, sectors);
}

void RescueEngine::endPass()
{
    PassStats& stats = passes_[static_cast<size_t>(pass_)];
    stats.seconds += std::chrono::duration<double>(Clock::now() - passStarted_).count();
    const bool stopped = gone_ || noMedium_ || copyFailed_ || timeUp_ || stop_.stopRequested();
    log_.passFinished(stats.reads, stats.failedReads, !stopped);
}

void RescueEngine::showProgress()
{
    log_.progress(passDone_, passes_[static_cast<size_t>(pass_)].failedReads);
}

EngineEnd RescueEngine::run()
{
    if (!mustStop()) copyPass();
    if (options_.passes >= 2 && !mustStop()) {
        std::vector<int32_t> narrow;
        for (SectorRun r = nextOpen(firstAudio_, {SectorState::Narrow}); !r.empty();
             r = nextOpen(r.end, {SectorState::Narrow}))
            for (int32_t s = r.first; s < r.end; ++s) narrow.push_back(s);
        if (!narrow.empty()) {
            beginPass(PassId::Narrow, static_cast<int64_t>(narrow.size()));
            round(narrow, Origin::Narrow);
            // Without C2 pointers a sector read here counts once a second
            // reading agrees: one more round over those, cache emptied.
            std::vector<int32_t> unconfirmed;
            for (const int32_t s : narrow)
                if (pending_.count(s)) unconfirmed.push_back(s);
            if (!unconfirmed.empty() && !mustStop()) {
                beginRound(Round{RoundKind::Confirm, 0}, static_cast<int64_t>(unconfirmed.size()));
                round(unconfirmed, Origin::Narrow);
            }
            endPass();
        }
    }
    auto retryRounds = [&](PassId pass) {
        bool begun = false;
        for (int r = 1; !mustStop(); ++r) {
            // Sectors waiting for a confirming reading are failed or suspect.
            constexpr StateSet open{SectorState::Failed, SectorState::Suspect, SectorState::Narrow};
            std::vector<int32_t> targets;
            for (SectorRun run = nextOpen(firstAudio_, open); !run.empty(); run = nextOpen(run.end, open))
                for (int32_t s = run.first; s < run.end; ++s)
                    if (runTries_[static_cast<size_t>(s)] <= options_.retries && !isContested_[static_cast<size_t>(s)])
                        targets.push_back(s);
            if (targets.empty()) break;
            if (!begun) {
                beginPass(pass, 0);
                begun = true;
            }
            beginRound(Round{RoundKind::Retry, r}, static_cast<int64_t>(targets.size()));
            round(targets, Origin::Retry);
        }
        if (begun) endPass();
    };
    if (options_.passes >= 3 && !mustStop()) retryRounds(PassId::Retry);
    if (options_.verify && copy_ && !mustStop()) {
        verifyPass();
        if (!mustStop()) retryRounds(PassId::Verify);
    }
    checkpoint_(true);
    if (copyFailed_) return EngineEnd::CopyFailed;
    if (gone_) return EngineEnd::DriveGone;
    if (noMedium_) return EngineEnd::NoMedium;
    if (stop_.stopRequested()) return EngineEnd::Stopped;
    if (timeUp_) return EngineEnd::TimeUp;
    return EngineEnd::Done;
}

void RescueEngine::copyPass()
{
    const int64_t untried = countOpen({SectorState::Untried});
    if (untried == 0) return;
    beginPass(PassId::Copy, untried);
    int failuresInRow = 0;
    for (int32_t s = firstAudio_; !mustStop();) {
        const SectorRun run = nextOpen(s, {SectorState::Untried});
        if (run.empty()) break;
        s = run.first;
        const int32_t count = std::min(kBlock, run.end - s);
        if (readSectors(s, count)) {
            failuresInRow = 0;
            for (int32_t i = 0; i < count; ++i) {
                const uint8_t* bytes = block_.data() + static_cast<size_t>(i) * kSectorBytes;
                const uint16_t bits = c2Bits_[static_cast<size_t>(i)];
                if (bits == 0) {
                    if (!writeCopy(s + i, bytes, 1)) break;
                    setState(s + i, SectorState::Good);
                    origin_[static_cast<size_t>(s + i)] = Origin::Copy;
                } else {
                    // The drive flagged bytes as wrong: narrowed and retried later.
                    Reading& r = best_[s + i];
                    std::memcpy(r.bytes.data(), bytes, kSectorBytes);
                    r.c2Bits = bits;
                    setState(s + i, SectorState::Narrow);
                }
            }
            passDone_ += count;
            s += count;
        } else {
            if (gone_ || noMedium_) break;
            for (int32_t i = 0; i < count; ++i) setState(s + i, SectorState::Narrow);
            passDone_ += count;
            s += count;
            // Failures in a row: skip ahead, twice as far each time, and
            // leave the stretch for narrowing.
            if (++failuresInRow >= 2) {
                const int32_t skip = std::min<int32_t>(kBlock << std::min(failuresInRow - 2, 10), kMaxSkip);
                for (int32_t k = 0; k < skip && s < map_.sectors(); ++k, ++s) {
                    if (map_.state(s) != SectorState::Untried || !wanted(s)) continue;
                    setState(s, SectorState::Narrow);
                    ++passDone_;
                }
            }
        }
        showProgress();
    }
    endPass();
}

void RescueEngine::round(const std::vector<int32_t>& targets, Origin origin)
{
    if (targets.empty()) return;
    bool flush = false;
    for (const int32_t s : targets) flush = flush || recentlyRead(s);
    // The targets are not good, so the flush never reads them; it starts
    // half a disc away from the middle one.
    const int32_t middle = targets[targets.size() / 2];
    if (flush && options_.cacheSectors > 0) flushCache(middle, middle);
    for (const int32_t s : targets) {
        if (mustStop()) return;
        trySingle(s, origin);
        ++passDone_;
        showProgress();
    }
}

void RescueEngine::trySingle(int32_t s, Origin origin)
{
    const auto i = static_cast<size_t>(s);
    ++runTries_[i];
    const uint16_t tries = static_cast<uint16_t>(std::min<int>(map_.tries(s) + 1, 0xFFFF));
    if (!readSectors(s, 1)) {
        if (gone_ || noMedium_) {
            --runTries_[i];
            return;
        }
        if (map_.state(s) == SectorState::Suspect) {
            map_.setTries(s, tries);
        } else if (const auto b = best_.find(s); b != best_.end()) {
            // Only damaged readings so far: the least damaged one is kept.
            if (writeCopy(s, b->second.bytes.data(), 1)) setState(s, SectorState::Suspect, tries, b->second.c2Bits);
        } else {
            setState(s, SectorState::Failed, tries);
        }
        return;
    }
    const uint8_t* bytes = block_.data();
    const uint16_t bits = c2Bits_[0];
    if (options_.useC2) {
        if (bits == 0) {
            map_.setTries(s, tries);
            markGood(s, bytes, SectorState::Good, origin);
            return;
        }
        const uint16_t kept = map_.state(s) == SectorState::Suspect ? map_.c2Bits(s) : 0xFFFF;
        auto b = best_.find(s);
        if (b == best_.end() || bits < b->second.c2Bits) {
            Reading& r = best_[s];
            std::memcpy(r.bytes.data(), bytes, kSectorBytes);
            r.c2Bits = bits;
            b = best_.find(s);
        }
        if (b->second.c2Bits < kept) {
            if (writeCopy(s, b->second.bytes.data(), 1)) setState(s, SectorState::Suspect, tries, b->second.c2Bits);
        } else {
            map_.setTries(s, tries);
        }
        return;
    }
    // Without C2 pointers only a second, equal reading makes the sector good.
    const auto p = pending_.find(s);
    if (p != pending_.end() && std::memcmp(p->second.bytes.data(), bytes, kSectorBytes) == 0) {
        map_.setTries(s, tries);
        markGood(s, bytes, SectorState::Verified, origin);
        return;
    }
    Reading& r = pending_[s];
    std::memcpy(r.bytes.data(), bytes, kSectorBytes);
    r.c2Bits = 0;
    if (map_.state(s) == SectorState::Suspect) map_.setTries(s, tries);
    else setState(s, SectorState::Failed, tries);
}

void RescueEngine::flushCache(int32_t avoidFirst, int32_t avoidEnd)
{
    const int32_t span = map_.sectors() - firstAudio_;
    if (span <= 0) return;
    // Start half a disc away from what is to be read again.
    const int32_t middle = avoidFirst + (avoidEnd - avoidFirst) / 2;
    int32_t s = firstAudio_ + ((middle - firstAudio_) + span / 2) % span;
    const int64_t wanted = goodSectors_ + options_.cacheSectors;
    int32_t scanned = 0;
    constexpr StateSet good{SectorState::Good, SectorState::Verified};
    while (goodSectors_ < wanted && scanned < span && !mustStop()) {
        if (s >= map_.sectors()) s = firstAudio_;
        if (s >= avoidFirst && s < avoidEnd) {
            scanned += avoidEnd - s;
            s = avoidEnd;
            continue;
        }
        const bool beforeAvoided = s < avoidFirst && avoidFirst < avoidEnd;
        const SectorRun run = map_.nextRun(s, beforeAvoided ? avoidFirst : map_.sectors(), good);
        scanned += run.first - s;
        s = run.first;
        if (run.empty()) continue;
        if (scanned >= span) break;
        const int32_t count = std::min(kBlock, run.end - s);
        readSectors(s, count);
        s += count;
        scanned += count;
    }
}

void RescueEngine::verifyPass()
{
    const int64_t toVerify = countOpen({SectorState::Good});
    if (toVerify == 0) return;
    beginPass(PassId::Verify, toVerify);
    std::array<uint8_t, cd::kReadBlockBytes> reading{};
    for (int32_t s = firstAudio_; !mustStop();) {
        const SectorRun run = nextOpen(s, {SectorState::Good});
        if (run.empty()) break;
        s = run.first;
        const int32_t count = std::min(kBlock, run.end - s);
        bool recent = false;
        for (int32_t i = 0; i < count; ++i) recent = recent || recentlyRead(s + i);
        if (recent) flushCache(s, s + count);
        std::array<uint16_t, kBlock> bits{};
        bool ok = readSectors(s, count);
        if (ok) {
            std::memcpy(reading.data(), block_.data(), static_cast<size_t>(count) * kSectorBytes);
            bits = c2Bits_;
        } else if (gone_ || noMedium_) {
            break;
        }
        bool demoted = false;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t at = s + i;
            const uint8_t* bytes = reading.data() + static_cast<size_t>(i) * kSectorBytes;
            // A failed or flagged second reading proves nothing either way.
            if (!ok || bits[static_cast<size_t>(i)] != 0) continue;
            if (sameAsCopy(at, bytes)) {
                setState(at, SectorState::Verified, map_.tries(at));
                if (origin_[static_cast<size_t>(at)] == Origin::Earlier) origin_[static_cast<size_t>(at)] = Origin::Verify;
                continue;
            }
            // The readings differ: the copy's may be the wrong one. It stays
            // until a reading is confirmed, marked as not trustworthy. A
            // reading of another drive is not outvoted by this drive agreeing
            // with itself: that takes a third drive.
            if (options_.earlierFromOtherDrive && origin_[static_cast<size_t>(at)] == Origin::Earlier) {
                contested_.push_back(at);
                isContested_[static_cast<size_t>(at)] = true;
                setState(at, SectorState::Suspect, map_.tries(at), kUnknownC2);
                demoted = true;
                continue;
            }
            Reading& r = pending_[at];
            std::memcpy(r.bytes.data(), bytes, kSectorBytes);
            setState(at, SectorState::Suspect, map_.tries(at), kUnknownC2);
            demoted = true;
        }
        if (demoted && !checkpoint_(true)) copyFailed_ = true;
        passDone_ += count;
        s += count;
        showProgress();
    }
    endPass();
}

}  // namespace rilvane::rescue
