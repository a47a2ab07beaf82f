// The rescue engine on a scripted drive: a stop from another thread ends a
// pass at once with everything read so far kept, a damaged stretch is
// skipped and narrowed afterwards, and a sector recovered without C2
// pointers counts only once a second reading, with the drive's cache
// emptied in between, agrees. The observer sees every change of the map.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "drive/BlockReader.h"
#include "drive/CdAudio.h"
#include "rescue/RescueEngine.h"
#include "rescue/RescueLog.h"
#include "rescue/RescueMap.h"
#include "rescue/StopToken.h"
#include "rescue/WorkingCopy.h"

namespace rilvane::rescue {
namespace {

// The bytes a sector of the test disc holds.
uint8_t byteOf(int32_t sector, size_t i)
{
    return static_cast<uint8_t>((sector * 7 + static_cast<int32_t>(i) * 13) & 0xFF);
}

// A drive reading a disc whose sectors all hold byteOf(); reads touching a
// `bad` sector fail with a medium error; a `flaky` sector read alone
// returns different bytes every time. Like a real drive it keeps the last
// `cacheSectors` sectors it read and answers from them.
class ScriptedDrive : public BlockReader {
public:
    std::set<int32_t> bad;
    std::set<int32_t> flaky;
    size_t cacheSectors = 0;
    std::vector<std::pair<int32_t, int32_t>> reads;  // first, count
    // Called before each read with the number of reads made so far.
    std::function<void(size_t)> beforeRead;

protected:
    uint8_t* read(int32_t sector, int32_t count) override
    {
        if (beforeRead) beforeRead(reads.size());
        reads.emplace_back(sector, count);
        for (int32_t i = 0; i < count; ++i)
            if (bad.count(sector + i)) {
                const uint8_t sense[18] = {0x70, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x05};
                noteSense(2, sense);
                return nullptr;
            }
        for (int32_t i = 0; i < count; ++i) {
            const int32_t s = sector + i;
            uint8_t* out = buffer_.data() + static_cast<size_t>(i) * cd::kSectorBytes;
            if (const auto c = cached_.find(s); c != cached_.end()) {
                std::memcpy(out, c->second.data(), cd::kSectorBytes);
                continue;
            }
            for (size_t b = 0; b < cd::kSectorBytes; ++b) out[b] = byteOf(s, b);
            if (flaky.count(s)) out[100] = static_cast<uint8_t>(++noise_);
            remember(s, out);
        }
        return buffer_.data();
    }

private:
    void remember(int32_t s, const uint8_t* bytes)
    {
        if (cacheSectors == 0) return;
        cached_[s].assign(bytes, bytes + cd::kSectorBytes);
        order_.push_back(s);
        while (order_.size() > cacheSectors) {
            cached_.erase(order_.front());
            order_.erase(order_.begin());
        }
    }

    std::array<uint8_t, cd::kReadBlockBytes> buffer_{};
    std::map<int32_t, std::vector<uint8_t>> cached_;
    std::vector<int32_t> order_;
    uint8_t noise_ = 0;
};

// Keeps the state the observer was told for every sector, and the passes.
struct RecordingObserver : RescueObserver {
    explicit RecordingObserver(int32_t sectors) : states(static_cast<size_t>(sectors), SectorState::Untried) {}
    void passStarted(PassId pass, Round round, int64_t) override { started.emplace_back(pass, round.kind); }
    void sectorsChanged(int32_t first, int32_t end, SectorState state) override
    {
        for (int32_t s = first; s < end; ++s) states[static_cast<size_t>(s)] = state;
    }
    void progress(int64_t done, int64_t, int64_t) override { lastDone.store(done); }
    void driveError(int32_t sector, int32_t, SenseCode sense) override { errors.emplace_back(sector, sense.asc); }

    std::vector<SectorState> states;
    std::vector<std::pair<PassId, RoundKind>> started;
    std::vector<std::pair<int32_t, uint8_t>> errors;
    std::atomic<int64_t> lastDone{0};
};

DiscLayout disc(int32_t sectors)
{
    DiscLayout l;
    l.trackStarts = {0};
    l.leadOut = sectors;
    l.dataTrack = {false};
    return l;
}

struct Rescue {
    explicit Rescue(int32_t sectors) : map(disc(sectors)), observer(sectors), log(observer) {}
    EngineEnd go(const EngineOptions& options, WorkingCopy* copy = nullptr)
    {
        RescueEngine engine(drive, map, copy, options, log, stop, [this](bool force) {
            forcedCheckpoints += force;
            return true;
        });
        return engine.run();
    }
    ScriptedDrive drive;
    RescueMap map;
    RecordingObserver observer;
    RescueLog log;
    StopToken stop;
    int forcedCheckpoints = 0;
};

TEST(RescueEngine, StopsMidPassFromAnotherThreadKeepingWhatWasRead)
{
    Rescue run(20000);
    // The drive holds its 30th read until the stop has been asked for, as a
    // slow read holds a real rescue.
    std::atomic<bool> reached{false};
    run.drive.beforeRead = [&](size_t n) {
        if (n != 30) return;
        reached = true;
        while (!run.stop.stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    std::thread stopper([&] {
        // Meanwhile another thread looks at the map as a window would.
        size_t goodSeen = 0;
        while (!reached) {
            const std::vector<SectorState> states = run.map.snapshot();
            goodSeen = std::max<size_t>(goodSeen, std::count(states.begin(), states.end(), SectorState::Good));
            std::this_thread::yield();
        }
        EXPECT_LE(goodSeen, 300u);
        run.stop.requestStop();
    });
    EngineOptions options;
    options.passes = 3;
    const EngineEnd end = run.go(options);
    stopper.join();

    EXPECT_EQ(end, EngineEnd::Stopped);
    // The read in flight finished; nothing was read after it.
    EXPECT_EQ(run.drive.reads.size(), 31u);
    const std::vector<SectorState> states = run.map.snapshot();
    EXPECT_EQ(std::count(states.begin(), states.end(), SectorState::Good), 310);
    EXPECT_EQ(std::count(states.begin(), states.end(), SectorState::Untried), 20000 - 310);
    EXPECT_EQ(run.observer.states, states);
    // Only the copy pass began, and the map was saved on the way out.
    ASSERT_EQ(run.observer.started.size(), 1u);
    EXPECT_EQ(run.observer.started[0].first, PassId::Copy);
    EXPECT_GE(run.forcedCheckpoints, 1);
}

TEST(RescueEngine, SkipsADamagedStretchAndNarrowsItAfterwards)
{
    Rescue run(3000);
    for (int32_t s = 1000; s < 1100; ++s) run.drive.bad.insert(s);
    EngineOptions options;
    options.passes = 2;
    options.cacheSectors = 0;
    const EngineEnd end = run.go(options);
    EXPECT_EQ(end, EngineEnd::Done);

    // The copy pass tried the stretch a few times, far fewer than its ten
    // blocks, and carried on behind it.
    size_t blockReadsInStretch = 0;
    for (const auto& [first, count] : run.drive.reads)
        if (count > 1 && first + count > 1000 && first < 1100) ++blockReadsInStretch;
    EXPECT_LE(blockReadsInStretch, 5u);
    // Each bad sector was read alone and failed; everything else is good,
    // the sectors skipped behind the stretch confirmed by a second reading.
    for (int32_t s = 0; s < 3000; ++s) {
        const SectorState st = run.map.state(s);
        if (s >= 1000 && s < 1100) EXPECT_EQ(st, SectorState::Failed) << s;
        else EXPECT_TRUE(st == SectorState::Good || st == SectorState::Verified) << s << " " << stateName(st);
    }
    EXPECT_EQ(run.observer.states, run.map.snapshot());
    // The observer heard the drive's medium error for the failed reads.
    ASSERT_FALSE(run.observer.errors.empty());
    EXPECT_EQ(run.observer.errors.front().first, 1000);
    EXPECT_EQ(run.observer.errors.front().second, 0x11);
}

TEST(RescueEngine, ConfirmsARecoveredSectorOnlyWithTheCacheEmptiedBetweenReadings)
{
    constexpr size_t kCache = 40;
    Rescue run(2000);
    // Sector 500 cannot be read in a block; alone it reads well. Sector 700
    // reads alone but differently every time.
    run.drive.bad = {500, 700};
    run.drive.cacheSectors = kCache;
    EngineOptions options;
    options.passes = 3;
    options.retries = 4;
    options.cacheSectors = kCache;

    char path[] = "/tmp/rilvane-engine-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    WorkingCopy copy;
    std::string error;
    ASSERT_TRUE(copy.open(path, 2000, error)) << error;

    // Once the copy pass is over, the sectors come when read alone.
    run.drive.beforeRead = [&](size_t) {
        if (!run.observer.started.empty() && run.observer.started.back().first != PassId::Copy) {
            run.drive.bad.clear();
            run.drive.flaky = {700};
        }
    };
    const EngineEnd end = run.go(options, &copy);
    EXPECT_EQ(end, EngineEnd::Done);

    // Between two single reads of sector 500 the drive read at least as
    // many other sectors as its cache holds, so the second reading came
    // from the disc, not from the cache.
    std::vector<size_t> at;
    for (size_t i = 0; i < run.drive.reads.size(); ++i)
        if (run.drive.reads[i] == std::make_pair(500, 1)) at.push_back(i);
    ASSERT_GE(at.size(), 2u);
    int64_t between = 0;
    for (size_t i = at[0] + 1; i < at[1]; ++i) between += run.drive.reads[i].second;
    EXPECT_GE(between, static_cast<int64_t>(kCache));

    EXPECT_EQ(run.map.state(500), SectorState::Verified);
    std::array<uint8_t, cd::kSectorBytes> bytes{};
    ASSERT_TRUE(copy.read(500, bytes.data(), 1));
    for (size_t b = 0; b < bytes.size(); ++b) ASSERT_EQ(bytes[b], byteOf(500, b)) << b;
    // Readings that never agree never make a sector good.
    EXPECT_FALSE(run.map.isGood(700));
    EXPECT_EQ(run.observer.states, run.map.snapshot());
    // Narrowing, its confirming round and the retry rounds were announced.
    bool confirm = false;
    for (const auto& [pass, kind] : run.observer.started) confirm = confirm || kind == RoundKind::Confirm;
    EXPECT_TRUE(confirm);
    ::unlink(path);
}

}  // namespace
}  // namespace rilvane::rescue
