#include "rescue/RescueEngine.h"

#include <algorithm>
#include <cstring>

#include "rescue/DriveSpeed.h"


namespace rilvane::rescue {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kBlock = cd::kSectorsPerRead;
constexpr uint32_t kSectorBytes = cd::kSectorBytes;
constexpr uint32_t kC2Bytes = CommandCatalogue::kC2PointerBytes;
// The longest stretch skipped after failures in a row: two seconds of audio.
constexpr int32_t kMaxSkip = 150;
constexpr int64_t kNeverRead = -(int64_t{1} << 40);
// Cache sizes tried when learning it: from the first, doubled, up to the last.
constexpr int64_t kFirstProbe = 128;
constexpr int64_t kLastProbe = 65536;
// Sectors left out after each probe's target, more than a drive reads ahead.
constexpr int32_t kProbeGap = 64;
constexpr uint16_t kTopSpeed = 0xFFFF;

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
    // The reads that learn the cache are no part of any pass.
    PassStats probeStats;
    PassStats& stats = probing_ ? probeStats : passes_[static_cast<size_t>(pass_)];
    ++stats.reads;
    if (!probing_) ++readsByStart_[static_cast<size_t>(first)];
    log_.hold();
    const Clock::time_point started = Clock::now();
    const uint8_t* data = options_.useC2 ? reader_.readBlockWithC2(first, count) : reader_.readBlock(first, count);
    lastReadSeconds_ = std::chrono::duration<double>(Clock::now() - started).count();
    if (!probing_)
        secondsByStart_[static_cast<size_t>(first)][static_cast<size_t>(pass_)] += static_cast<float>(lastReadSeconds_);
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
        if (!probing_) ++failedByStart_[static_cast<size_t>(first)];
        const BlockReader::Sense& sense = reader_.lastSense();
        log_.observer().driveError(first, count, SenseCode{sense.key, sense.asc, sense.ascq});
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (options_.useC2) {
            const uint8_t* sector = data + static_cast<size_t>(i) * (kSectorBytes + c2Stride_);
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
    return goodSectors_ - lastGoodRead_[static_cast<size_t>(s)] < int64_t{flushSectors()};
}

uint32_t RescueEngine::flushSectors() const
{
    // A measured size is the smallest that pushed a sector out; a quarter
    // more covers what the drive reads ahead and the measure's steps.
    return cache_.measured ? cache_.sectors + cache_.sectors / 4 : cache_.sectors;
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
    c2Stride_ = reader_.c2Bytes();
    cache_.sectors = options_.cacheSectors;
    if (const auto speeds = readDriveSpeeds(reader_)) topSpeed_ = speeds->topKilobytes;
    if (!mustStop()) {
        setSpeed(kTopSpeed, "Kopieren");
        copyPass();
    }
    if ((options_.passes >= 2 || (options_.verify && copy_)) && !mustStop()) learnCache();
    const uint16_t retrySpeed = options_.retrySpeed > 0 ? kilobytesFor(options_.retrySpeed) : 0;
    if (options_.passes >= 2 && !mustStop()) {
        std::vector<int32_t> narrow;
        for (SectorRun r = nextOpen(firstAudio_, {SectorState::Narrow}); !r.empty();
             r = nextOpen(r.end, {SectorState::Narrow}))
            for (int32_t s = r.first; s < r.end; ++s) narrow.push_back(s);
        if (!narrow.empty()) {
            if (retrySpeed) retryGranted_ = setSpeed(retrySpeed, "Eingrenzen und Wiederholen");
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
    // onlyPending: only what verification found differing, not what is
    // still missing (with fewer passes allowed).
    auto retryRounds = [&](PassId pass, bool onlyPending) {
        bool begun = false;
        for (int r = 1; !mustStop(); ++r) {
            // Sectors waiting for a confirming reading are failed or suspect.
            constexpr StateSet open{SectorState::Failed, SectorState::Suspect, SectorState::Narrow};
            std::vector<int32_t> targets;
            for (SectorRun run = nextOpen(firstAudio_, open); !run.empty(); run = nextOpen(run.end, open))
                for (int32_t s = run.first; s < run.end; ++s)
                    if ((!onlyPending || pending_.count(s)) && runTries_[static_cast<size_t>(s)] <= options_.retries &&
                        !isContested_[static_cast<size_t>(s)])
                        targets.push_back(s);
            if (targets.empty()) break;
            if (!begun) {
                if (retrySpeed) retryGranted_ = setSpeed(retrySpeed, "Eingrenzen und Wiederholen");
                beginPass(pass, 0);
                begun = true;
            }
            beginRound(Round{RoundKind::Retry, r}, static_cast<int64_t>(targets.size()));
            round(targets, Origin::Retry);
        }
        if (begun) endPass();
    };
    if (options_.passes >= 3 && !mustStop()) retryRounds(PassId::Retry, false);
    if (options_.verify && copy_ && !mustStop()) {
        verifyPass();
        if (!mustStop()) retryRounds(PassId::Verify, options_.passes < 3);
    }
    // Back to the top speed, also after a stop: the drive is left as found.
    if (!gone_ && !noMedium_ && speedSet_ && speedAsked_ != kTopSpeed) setSpeed(kTopSpeed, "den Schluss");
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
    cacheDefeated_ = !flush || flushCache(middle, middle);
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
    if (options_.useC2 && bits == 0 && !c2Disproven_) {
        const auto b = best_.find(s);
        if (b != best_.end()) {
            if (std::memcmp(b->second.bytes.data(), bytes, kSectorBytes) == 0) {
                // The very bytes the drive flagged before, now clean: that
                // reading came from its cache. It proves nothing.
                map_.setTries(s, tries);
                if (!cacheSuspected_) {
                    cacheSuspected_ = true;
                    log_.line(LineKind::Reading, "Sektor " + std::to_string(s) +
                                                     " kam unverändert, aber ohne Fehlerzeiger zurück: der Puffer des "
                                                     "Laufwerks wurde nicht geleert; er wird ab jetzt doppelt so weit "
                                                     "überlesen");
                }
                cache_.sectors = std::max<uint32_t>(cache_.sectors, 1) * 2;
                return;
            }
            // A reading the pointers flagged was really wrong.
            if (!c2Proven_) {
                c2Proven_ = true;
                log_.line(LineKind::Reading, "Die C2-Fehlerzeiger des Laufwerks haben sich bewährt (Sektor " +
                                                 std::to_string(s) + ": die markierte Lesung war falsch)");
            }
        }
        map_.setTries(s, tries);
        markGood(s, bytes, SectorState::Good, origin);
        return;
    }
    if (options_.useC2 && bits != 0) {
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
    // Without C2 pointers to trust only a second, equal reading makes the
    // sector good, and only where the drive's cache was defeated between.
    const auto p = pending_.find(s);
    if (p != pending_.end() && cacheDefeated_ && std::memcmp(p->second.bytes.data(), bytes, kSectorBytes) == 0) {
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

bool RescueEngine::flushCache(int32_t avoidFirst, int32_t avoidEnd)
{
    if (cache_.fua && forceUnitAccess()) return true;
    const int64_t need = flushSectors();
    if (need == 0) return true;
    const int32_t span = map_.sectors() - firstAudio_;
    if (span <= 0) return false;
    // Sectors not read lately (a re-read from the cache pushes nothing
    // out), starting half a disc away from what is to be read again, and
    // not just before it, where the drive's read-ahead would reach it.
    const int32_t middle = avoidFirst + (avoidEnd - avoidFirst) / 2;
    cursor_ = firstAudio_ + ((middle - firstAudio_) + span / 2) % span;
    avoidFirst_ = avoidFirst - kProbeGap;
    avoidEnd_ = avoidEnd;
    const bool done = readFresh(need, need);
    avoidFirst_ = avoidEnd_ = 0;
    if (done || mustStop()) return done;
    if (cache_.failedFlushes++ == 0)
        log_.line(LineKind::Reading, "Der Puffer des Laufwerks lässt sich nicht leeren: die CD hat nicht genug "
                                     "andere lesbare Sektoren (" + std::to_string(need) +
                                     " nötig); was danach gelesen wird, bestätigt nichts");
    return false;
}

int32_t RescueEngine::takeFresh(int32_t count, int64_t fresh)
{
    const int32_t span = map_.sectors() - firstAudio_;
    for (int32_t scanned = 0; scanned < span + count; ++scanned) {
        if (cursor_ < firstAudio_ || cursor_ + count > map_.sectors()) cursor_ = firstAudio_;
        bool usable = true;
        int32_t k = 0;
        for (; k < count && usable; ++k) {
            const int32_t at = cursor_ + k;
            usable = map_.isGood(at) && !(at >= avoidFirst_ && at < avoidEnd_) &&
                     goodSectors_ - lastGoodRead_[static_cast<size_t>(at)] >= fresh;
        }
        if (usable) {
            const int32_t start = cursor_;
            cursor_ += count;
            return start;
        }
        cursor_ += std::max(k, 1);
        scanned += std::max(k, 1) - 1;
    }
    return -1;
}

bool RescueEngine::readFresh(int64_t sectors, int64_t fresh)
{
    int64_t got = 0;
    while (got < sectors && !mustStop()) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(kBlock, sectors - got));
        const int32_t s = takeFresh(count, fresh);
        if (s < 0) return false;
        if (readSectors(s, count)) got += count;
        else if (gone_ || noMedium_) return false;
    }
    return got >= sectors;
}

bool RescueEngine::timedRead(int32_t first, double& seconds)
{
    if (!readSectors(first, kBlock)) return false;
    seconds = lastReadSeconds_;
    return true;
}

bool RescueEngine::forceUnitAccess()
{
    std::vector<uint8_t> nothing;
    return reader_.query(CommandCatalogue::forceUnitAccess(firstAudio_), nothing);
}

uint16_t RescueEngine::setSpeed(uint16_t kilobytes, const std::string& why)
{
    if (speedSet_ && speedAsked_ == kilobytes) return speedGranted_;
    speedAsked_ = kilobytes;
    const auto granted = setDriveSpeed(reader_, kilobytes);
    if (!granted) {
        if (!speedRefused_)
            log_.line(LineKind::Reading, "Das Laufwerk nimmt keine Geschwindigkeit an (SET CD SPEED): es liest, "
                                         "wie es will");
        speedRefused_ = true;
        return 0;
    }
    speedSet_ = true;
    speedGranted_ = *granted;
    const std::string asked = kilobytes == kTopSpeed ? "Höchstgeschwindigkeit" : speedText(kilobytes);
    log_.line(LineKind::Reading, "Geschwindigkeit für " + why + ": " + asked + " erbeten, " + speedText(*granted) +
                                     " gewährt");
    return *granted;
}

void RescueEngine::noteC2Lie(int32_t s)
{
    if (!options_.useC2 || c2Disproven_) return;
    c2Disproven_ = true;
    log_.line(LineKind::Reading, "Die C2-Fehlerzeiger des Laufwerks sind unzuverlässig: Sektor " + std::to_string(s) +
                                     " wurde zweimal verschieden gelesen, beide Male ohne markierte Bytes; ab jetzt "
                                     "zählen nur übereinstimmende Lesungen");
}

void RescueEngine::learnCache()
{
    const std::string given = std::to_string(options_.cacheSectors) + " Sektoren";
    if (!options_.learnCache) {
        cache_.how = "vorgegeben (--cache-sectors): " + given;
        log_.line(LineKind::Reading, "Puffer des Laufwerks: " + cache_.how);
        return;
    }
    auto keep = [&](const std::string& why) {
        cache_.how = why + "; es gilt die Vorgabe von " + given;
        log_.line(LineKind::Reading, "Puffer des Laufwerks: " + cache_.how);
    };
    // A read from the disc takes at least its sectors' time at the speed the
    // drive names (real drives rarely reach it, so theirs take longer); a
    // read from the cache only the transfer. Half a block's time at the top
    // speed tells the two apart. Without that speed nothing can be learnt.
    if (topSpeed_ == 0) {
        keep("nicht gemessen (das Laufwerk nennt keine Geschwindigkeit)");
        return;
    }
    const double missBlock = kBlock / (75.0 * (topSpeed_ / 176.4));
    // Whether reads take any time at all: the copy pass read every sector
    // once from the disc, ten at a time, some of them from what the drive
    // had read ahead (a quarter or more of them from the disc, so the
    // slowest tenth are such reads). With little read in this run (it goes
    // on from an earlier one), one block read now.
    std::vector<float> copyReads;
    for (int32_t s = firstAudio_; s < map_.sectors(); ++s)
        if (origin_[static_cast<size_t>(s)] == Origin::Copy && readsByStart_[static_cast<size_t>(s)] == 1 &&
            failedByStart_[static_cast<size_t>(s)] == 0 && secondsByStart_[static_cast<size_t>(s)][0] > 0)
            copyReads.push_back(secondsByStart_[static_cast<size_t>(s)][0]);
    double slowRead = 0;
    probing_ = true;
    struct ProbingEnd {
        bool& probing;
        ~ProbingEnd() { probing = false; }
    } probingEnd{probing_};
    cursor_ = firstAudio_;
    const int64_t anyAge = 0;
    const int32_t calibration = takeFresh(kBlock, anyAge);
    double t = 0;
    if (calibration < 0 || !timedRead(calibration, t)) {
        keep("nicht gemessen (keine lesbaren Sektoren)");
        return;
    }
    if (copyReads.size() >= 10) {
        std::sort(copyReads.begin(), copyReads.end());
        slowRead = copyReads[copyReads.size() * 9 / 10];
    } else {
        slowRead = t;
    }
    if (slowRead < missBlock / 4) {
        keep("nicht messbar (ein Lesevorgang dauert keine messbare Zeit)");
        return;
    }
    // An immediate re-read: from the cache, if the drive keeps one.
    double hit = 1e9;
    for (int i = 0; i < 3 && !mustStop(); ++i)
        if (timedRead(calibration, t)) hit = std::min(hit, t);
    if (mustStop()) return;
    // A re-read that takes at least a whole block's time at the top speed
    // came from the disc: nothing comes from a cache, there is none to
    // defeat.
    if (hit >= missBlock) {
        cache_.measured = true;
        cache_.sectors = 0;
        cache_.how = "keiner (ein sofort wiederholter Lesevorgang dauert so lange wie einer von der CD)";
        log_.line(LineKind::Reading, "Puffer des Laufwerks: " + cache_.how);
        return;
    }
    // One that is faster than that, but not clearly faster than a read from
    // the disc, says nothing: behind a slow bus or on a busy machine every
    // command takes its time. Taking it for "no cache" would stop every flush
    // and let the cache confirm its own readings; the assumed size stays.
    if (hit >= missBlock / 2) {
        keep("nicht messbar (ein sofort wiederholter Lesevorgang ist kaum schneller als einer von der CD)");
        return;
    }
    // A block comes from the disc when it takes at least half its time at the
    // top speed longer than one from the cache.
    const double threshold = hit + missBlock / 2;
    // Whether READ(12) with FUA empties the cache: the same block once more
    // after it, and it takes its time again.
    if (forceUnitAccess() && timedRead(calibration, t)) cache_.fua = t >= threshold;
    // A probe: a block, then `n` other sectors, then the block again. The
    // others were not read in the last n reads: if the cache holds no more
    // than n, they come from the disc and each pushes one out; if it holds
    // more, the block stays whatever they do.
    enum class Probe { Held, PushedOut, Unknown };
    auto probe = [&](int64_t n) {
        const int64_t fresh = n + 4 * kProbeGap;
        const int32_t target = takeFresh(kBlock, fresh);
        if (target < 0) return Probe::Unknown;
        cursor_ += kProbeGap;
        double ignored = 0;
        if (!timedRead(target, ignored) || !readFresh(n, fresh)) return Probe::Unknown;
        cursor_ += kProbeGap;
        double again = 0;
        if (!timedRead(target, again)) return Probe::Unknown;
        return again < threshold ? Probe::Held : Probe::PushedOut;
    };
    // A block that comes back slowly may also have met a busy machine: a
    // second probe of the same size must agree. One that comes back fast
    // cannot have come from the disc.
    auto probeTwice = [&](int64_t n) {
        const Probe first = probe(n);
        return first == Probe::PushedOut ? probe(n) : first;
    };
    int64_t held = 0;
    int64_t pushedOut = 0;
    for (int64_t n = kFirstProbe; n <= kLastProbe && !mustStop(); n *= 2) {
        const Probe p = probeTwice(n);
        if (p == Probe::Unknown) break;
        if (p == Probe::PushedOut) {
            pushedOut = n;
            break;
        }
        held = n;
    }
    while (pushedOut > 0 && pushedOut - held > pushedOut / 8 && !mustStop()) {
        const int64_t mid = (held + pushedOut) / 2;
        const Probe p = probeTwice(mid);
        if (p == Probe::Unknown) break;
        (p == Probe::Held ? held : pushedOut) = mid;
    }
    if (mustStop()) return;
    const std::string fua = cache_.fua ? "; READ(12) mit FUA leert ihn" : "; FUA leert ihn nicht";
    if (pushedOut > 0) {
        cache_.measured = true;
        cache_.sectors = static_cast<uint32_t>(pushedOut);
        cache_.how = "etwa " + std::to_string(pushedOut) + " Sektoren, gemessen (nach " + std::to_string(held) +
                     " anderen Sektoren kam ein Block noch ohne Lesezeit aus dem Puffer, nach " +
                     std::to_string(pushedOut) + " dauerte er wieder)" + fua;
    } else {
        // Everything the disc allowed to try stayed in the cache.
        cache_.measured = true;
        cache_.atLeast = true;
        cache_.sectors = static_cast<uint32_t>(std::max<int64_t>({held * 2, options_.cacheSectors, kFirstProbe}));
        cache_.how = "mindestens " + std::to_string(held) + " Sektoren, mehr lässt die CD nicht messen" + fua;
    }
    log_.line(LineKind::Reading, "Puffer des Laufwerks: " + cache_.how);
}

void RescueEngine::verifyPass()
{
    // What trusted C2 pointers confirmed needs no second reading, unless
    // every sector is to be read twice.
    if (c2Trusted() && !options_.verifyAll) return;
    // Asked to check on another drive than the one that read the copy: what
    // that drive confirmed is compared with this one's reading too.
    const StateSet toCheck = options_.verifyAll && options_.earlierFromOtherDrive
                                 ? StateSet{SectorState::Good, SectorState::Verified}
                                 : StateSet{SectorState::Good};
    const int64_t toVerify = countOpen(toCheck);
    if (toVerify == 0) return;
    setSpeed(kTopSpeed, "Prüfen");
    beginPass(PassId::Verify, toVerify);
    std::array<uint8_t, cd::kReadBlockBytes> reading{};
    std::vector<int32_t> again;
    for (int32_t s = firstAudio_; !mustStop();) {
        const SectorRun run = nextOpen(s, toCheck);
        if (run.empty()) break;
        s = run.first;
        const int32_t count = std::min(kBlock, run.end - s);
        bool recent = false;
        for (int32_t i = 0; i < count; ++i) recent = recent || recentlyRead(s + i);
        // After a flush that failed a second reading can still show a
        // difference, but an equal one confirms nothing.
        const bool fresh = !recent || flushCache(s, s + count);
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
            // A failed or flagged second reading proves nothing either way:
            // the sector is read alone again, at the retry speed.
            if (!ok || bits[static_cast<size_t>(i)] != 0) {
                again.push_back(at);
                continue;
            }
            demoted = compareWithCopy(at, reading.data() + static_cast<size_t>(i) * kSectorBytes, fresh) || demoted;
        }
        if (demoted && !checkpoint_(true)) copyFailed_ = true;
        passDone_ += count;
        s += count;
        showProgress();
    }
    if (!again.empty() && !mustStop()) {
        if (options_.retrySpeed > 0)
            retryGranted_ = setSpeed(kilobytesFor(options_.retrySpeed), "Eingrenzen und Wiederholen");
        beginRound(Round{RoundKind::Confirm, 0}, static_cast<int64_t>(again.size()));
        for (int attempt = 0; attempt <= options_.retries && !again.empty() && !mustStop(); ++attempt) {
            std::vector<int32_t> left;
            bool recent = false;
            for (const int32_t at : again) recent = recent || recentlyRead(at);
            const int32_t middle = again[again.size() / 2];
            const bool fresh = !recent || flushCache(middle, middle + 1);
            for (const int32_t at : again) {
                if (mustStop()) break;
                if (readSectors(at, 1) && c2Bits_[0] == 0) compareWithCopy(at, block_.data(), fresh);
                else if (gone_ || noMedium_) break;
                if (map_.state(at) == SectorState::Good) left.push_back(at);
                ++passDone_;
                showProgress();
            }
            again.swap(left);
        }
        if (!checkpoint_(true)) copyFailed_ = true;
    }
    endPass();
}

bool RescueEngine::compareWithCopy(int32_t at, const uint8_t* bytes, bool fresh)
{
    if (sameAsCopy(at, bytes)) {
        // After a flush that failed an equal reading confirms nothing.
        if (!fresh) return false;
        setState(at, SectorState::Verified, map_.tries(at));
        if (origin_[static_cast<size_t>(at)] == Origin::Earlier) origin_[static_cast<size_t>(at)] = Origin::Verify;
        return false;
    }
    // The readings differ: the copy's may be the wrong one. It stays until a
    // reading is confirmed, marked as not trustworthy. Two different
    // readings both called clean: C2 cannot be trusted.
    // A reading of another drive is not outvoted by this drive agreeing with
    // itself: that takes a third drive.
    if (options_.earlierFromOtherDrive && origin_[static_cast<size_t>(at)] == Origin::Earlier) {
        if (!isContested_[static_cast<size_t>(at)]) {
            contested_.push_back(at);
            isContested_[static_cast<size_t>(at)] = true;
        }
        setState(at, SectorState::Suspect, map_.tries(at), kUnknownC2);
        return true;
    }
    noteC2Lie(at);
    Reading& r = pending_[at];
    std::memcpy(r.bytes.data(), bytes, kSectorBytes);
    setState(at, SectorState::Suspect, map_.tries(at), kUnknownC2);
    return true;
}

}  // namespace rilvane::rescue
