// The sound output of the window (set-up, start, half-buffer handoff, stop)
// against the DirectSound layer on a device whose clock the test drives.
#include "DirectSoundCore.h"
#include "RecordingBuffer.h"
#include "SoundTestSupport.h"
#include "TestSink.h"
#include "playback/SoundOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

using rilvane::kHalfBufferBytes;
using rilvane::kSoundBufferBytes;
using rilvane::kStagingBytes;
using rilvane::SoundOutput;

namespace {

constexpr size_t kHalfFrames = kHalfBufferBytes / 4;

std::shared_ptr<TestSink> gSink;
RecordingDirectSound* gDirectSound = nullptr;
bool gFailCreateBuffer = false;

HRESULT recordingCreate(LPCGUID, LPDIRECTSOUND* directSound, IUnknown*)
{
    IDirectSound* inner = nullptr;
    const HRESULT result = rilvane::dsound::createDirectSound(gSink, &inner);
    if (result != DS_OK) return result;
    gDirectSound = new RecordingDirectSound(inner);
    gDirectSound->failCreateBuffer = gFailCreateBuffer;
    *directSound = gDirectSound;
    return DS_OK;
}

HRESULT noDevice(LPCGUID, LPDIRECTSOUND* directSound, IUnknown*)
{
    *directSound = nullptr;
    return DSERR_NODRIVER;
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> half(const std::vector<uint8_t>& staging, int which)
{
    const auto begin = staging.begin() + which * static_cast<std::ptrdiff_t>(kHalfBufferBytes);
    return std::vector<uint8_t>(begin, begin + kHalfBufferBytes);
}

// Waits until the event is no longer signalled (the handoff has reset it).
bool waitUntilReset(HANDLE event)
{
    for (int i = 0; i < 30000; ++i) {
        if (WaitForSingleObject(event, 0) == WAIT_TIMEOUT) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Runs handoffs of the given staging buffers one after the other.
struct Handoffs {
    Handoffs(SoundOutput& output, std::vector<std::vector<uint8_t>> stagings) : stagings_(std::move(stagings))
    {
        thread_ = std::thread([this, &output] {
            for (auto& staging : stagings_) {
                fill = kStagingBytes;
                output.handOff(staging.data(), fill, [this, &staging](const uint8_t* drawn) {
                    if (drawn == staging.data()) ++draws;
                });
            }
            done = true;
        });
    }
    ~Handoffs() { join(); }
    void join()
    {
        if (thread_.joinable()) thread_.join();
    }

    std::vector<std::vector<uint8_t>> stagings_;
    int32_t fill = -1;
    std::atomic<int> draws{0};
    std::atomic<bool> done{false};
    std::thread thread_;
};

class SoundOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gSink = sink;
        gFailCreateBuffer = false;
        ASSERT_TRUE(output.setUp(recordingCreate, nullptr));
        buffer = gDirectSound->lastBuffer;
    }
    void TearDown() override
    {
        output.release();
        gSink.reset();
    }
    void run(size_t frames)
    {
        sink->advance(frames);
        ASSERT_TRUE(sink->settle());
    }
    bool signalled(HANDLE event) const { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

    std::shared_ptr<TestSink> sink = std::make_shared<TestSink>();
    SoundOutput output;
    RecordingBuffer* buffer = nullptr;
};

TEST_F(SoundOutputTest, SetUpFillsTheRecordsAndAsksForTheTwoNotifications)
{
    static_assert(sizeof(WAVEFORMATEX) == 18);
    static_assert(sizeof(DSBUFFERDESC) == 20);
    static_assert(offsetof(DSBUFFERDESC, lpwfxFormat) == 16);
    static_assert(offsetof(WAVEFORMATEX, cbSize) == 16);

    const uint8_t format[18] = {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10,
                                0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(output.waveFormat(), format, 18), 0);
    EXPECT_EQ(std::memcmp(&gDirectSound->lastFormat, format, 18), 0);

    const uintptr_t address = reinterpret_cast<uintptr_t>(output.waveFormat());
    EXPECT_LT(address, uintptr_t{1} << 32);
    const DSBUFFERDESC& desc = gDirectSound->lastDesc;
    EXPECT_EQ(desc.dwSize, 20u);
    EXPECT_EQ(desc.dwFlags, 0x8102u);
    EXPECT_EQ(desc.dwBufferBytes, 117600u);
    EXPECT_EQ(desc.dwReserved, 0u);
    EXPECT_EQ(desc.lpwfxFormat, address);
    EXPECT_EQ(gDirectSound->lastLevel, DSSCL_PRIORITY);

    const DSBPOSITIONNOTIFY* positions = output.notifyPositions();
    EXPECT_EQ(positions[0].dwOffset, 58800u);
    EXPECT_EQ(positions[0].hEventNotify, output.firstHalfEvent());
    EXPECT_EQ(positions[1].dwOffset, 117599u);
    EXPECT_EQ(positions[1].hEventNotify, output.secondHalfEvent());
    EXPECT_FALSE(signalled(output.firstHalfEvent()));
    EXPECT_FALSE(signalled(output.secondHalfEvent()));
    DWORD status = 0xFF;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
}

TEST_F(SoundOutputTest, SetUpFailsWithoutEntryPointDeviceOrBufferAndLeavesNothingToWaitOn)
{
    SoundOutput other;
    EXPECT_FALSE(other.setUp(nullptr, nullptr));
    EXPECT_FALSE(other.setUp(noDevice, nullptr));
    gFailCreateBuffer = true;
    EXPECT_FALSE(other.setUp(recordingCreate, nullptr));

    // Start, handoff and stop of an output that is not set up do nothing.
    other.start();
    std::vector<uint8_t> staging(kStagingBytes, 1);
    int32_t fill = kStagingBytes;
    other.handOff(staging.data(), fill, nullptr);
    EXPECT_EQ(fill, 0);
    other.stop();
    other.release();
}

TEST_F(SoundOutputTest, StartSilencesTheWholeBufferAndResumesWhereItStopped)
{
    writeAll(buffer->inner(), std::vector<uint8_t>(kSoundBufferBytes, 0xAB));
    output.start();
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(readAll(buffer->inner()), std::vector<uint8_t>(kSoundBufferBytes, 0));
    run(29400 + 1000);
    EXPECT_EQ(sink->played(), std::vector<uint8_t>((29400 + 1000) * 4, 0));

    // Stop, then start again: the position is kept; the events, which the
    // stop left set, are cleared so the first handoff waits for the cursor.
    output.stop();
    SetEvent(output.firstHalfEvent());
    writeAll(buffer->inner(), std::vector<uint8_t>(kSoundBufferBytes, 0xCD));
    output.start();
    DWORD play = 0;
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 4000u);
    EXPECT_FALSE(signalled(output.firstHalfEvent()));
    EXPECT_FALSE(signalled(output.secondHalfEvent()));
    EXPECT_EQ(readAll(buffer->inner()), std::vector<uint8_t>(kSoundBufferBytes, 0));
}

TEST_F(SoundOutputTest, AnAlreadySignalledFirstHalfIsWrittenAtOnceTheSecondOnlyAfterAFreshNotification)
{
    const std::vector<uint8_t> staging = stagingPattern(1);
    output.start();
    ASSERT_TRUE(sink->settle());  // the device holds its first period (silence) before anything is written
    SetEvent(output.firstHalfEvent());
    SetEvent(output.secondHalfEvent());  // left over from an earlier session

    Handoffs handoffs(output, {staging});
    ASSERT_TRUE(buffer->waitForUnlocks(2));  // start's Unlock, then the first half at once
    EXPECT_FALSE(signalled(output.secondHalfEvent())) << "both events are reset after the first wait";
    EXPECT_EQ(half(readAll(buffer->inner()), 0), half(staging, 0));
    EXPECT_EQ(half(readAll(buffer->inner()), 1), std::vector<uint8_t>(kHalfBufferBytes, 0));

    run(kHalfFrames + 1);  // the middle passes: not what the second wait is for
    EXPECT_EQ(buffer->unlocks(), 2);
    EXPECT_FALSE(handoffs.done);
    run(kHalfFrames - 1);  // the last byte passes
    handoffs.join();
    EXPECT_EQ(buffer->unlocks(), 3);
    EXPECT_EQ(handoffs.fill, 0);
    EXPECT_EQ(handoffs.draws, 1);

    run(29400);
    const std::vector<uint8_t> silence(kHalfBufferBytes, 0);
    std::vector<uint8_t> firstLap = concat({half(staging, 0), silence});
    std::fill(firstLap.begin(), firstLap.begin() + 4096, 0);  // the period taken before the handoff
    EXPECT_TRUE(sink->played() == concat({firstLap, half(staging, 0), half(staging, 1)}));
}

TEST_F(SoundOutputTest, TheDeviceGetsEveryStagingBufferInOrderWithoutGapOrRepeat)
{
    const std::vector<std::vector<uint8_t>> stagings = {stagingPattern(1), stagingPattern(2), stagingPattern(3)};
    output.start();
    Handoffs handoffs(output, stagings);

    // The clock waits for each copy, as a producer that keeps up would
    // never make it wait.
    const int k = static_cast<int>(stagings.size());
    for (int lap = 0; lap <= k; ++lap) {
        run(kHalfFrames + 1);
        if (lap < k) {
            ASSERT_TRUE(buffer->waitForUnlocks(1 + 2 * lap + 1)) << "lap " << lap;
        }
        run(kHalfFrames - 1);
        if (lap < k) {
            ASSERT_TRUE(buffer->waitForUnlocks(1 + 2 * lap + 2)) << "lap " << lap;
        }
    }
    handoffs.join();
    EXPECT_EQ(handoffs.draws, k);
    EXPECT_EQ(handoffs.fill, 0);

    const std::vector<uint8_t> expected =
        concat({std::vector<uint8_t>(kSoundBufferBytes, 0), stagings[0], stagings[1], stagings[2]});
    const std::vector<uint8_t> played = sink->played();
    ASSERT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
}

TEST_F(SoundOutputTest, StoppingOrLosingTheBufferEndsAWaitingHandoff)
{
    const std::vector<uint8_t> staging = stagingPattern(4);

    // Stopped during the first wait.
    output.start();
    {
        Handoffs handoffs(output, {staging});
        output.stop();
        handoffs.join();
        EXPECT_EQ(handoffs.fill, 0);
        EXPECT_EQ(handoffs.draws, 0);
    }
    EXPECT_EQ(buffer->unlocks(), 1);  // only start's

    // Stopped during the second wait: the first half stays, nothing more.
    output.start();
    ResetEvent(output.firstHalfEvent());
    ResetEvent(output.secondHalfEvent());
    {
        Handoffs handoffs(output, {staging});
        run(kHalfFrames + 1);
        ASSERT_TRUE(buffer->waitForUnlocks(3));
        output.stop();
        handoffs.join();
        EXPECT_EQ(handoffs.fill, 0);
        EXPECT_EQ(handoffs.draws, 0);
    }
    EXPECT_EQ(buffer->unlocks(), 3);
    EXPECT_EQ(half(readAll(buffer->inner()), 0), half(staging, 0));
    EXPECT_EQ(half(readAll(buffer->inner()), 1), std::vector<uint8_t>(kHalfBufferBytes, 0));

    // The device goes away during a wait; later handoffs return at once.
    output.start();
    ResetEvent(output.firstHalfEvent());
    {
        Handoffs handoffs(output, {staging, staging});
        sink->lose();
        handoffs.join();
        EXPECT_EQ(handoffs.fill, 0);
    }
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
}

TEST_F(SoundOutputTest, AHandoffCopiesOnlyThroughTheRegionsLockReturned)
{
    const std::vector<uint8_t> staging = stagingPattern(5);
    output.start();
    buffer->lockLimit = 1000;
    {
        Handoffs handoffs(output, {staging});
        run(kHalfFrames + 1);
        ASSERT_TRUE(buffer->waitForUnlocks(2));
        run(kHalfFrames - 1);
        handoffs.join();
        EXPECT_EQ(handoffs.fill, 0);
    }
    std::vector<uint8_t> expected(kSoundBufferBytes, 0);
    std::memcpy(expected.data(), staging.data(), 1000);
    EXPECT_TRUE(readAll(buffer->inner()) == expected);

    buffer->lockLimit = 0;
    buffer->failLocks = true;
    const int unlocks = buffer->unlocks();
    {
        Handoffs handoffs(output, {staging});
        run(kHalfFrames + 1);
        ASSERT_TRUE(waitUntilReset(output.firstHalfEvent()));
        run(kHalfFrames - 1);
        handoffs.join();
        EXPECT_EQ(handoffs.fill, 0);
        EXPECT_EQ(handoffs.draws, 1);
    }
    EXPECT_EQ(buffer->unlocks(), unlocks);
    EXPECT_TRUE(readAll(buffer->inner()) == expected);
}

// A device that takes nothing (its clock stands): the handoff keeps letting
// the window run between its waits, and after a while gives up with the
// device counted as lost; a pump that says "stop" ends the wait at once.
TEST_F(SoundOutputTest, AHandoffOnAStandingDeviceLetsTheWindowRunAndEndsAsALostDevice)
{
    const std::vector<uint8_t> staging = stagingPattern(7);
    output.start();
    int pumps = 0;
    int32_t fill = kStagingBytes;
    output.handOff(staging.data(), fill, {}, [&] {
        ++pumps;
        return true;
    });
    EXPECT_TRUE(output.deviceLost());
    EXPECT_EQ(fill, 0);
    EXPECT_GT(pumps, 10);
    EXPECT_EQ(buffer->unlocks(), 1);  // only start's: nothing was written

    output.start();
    EXPECT_FALSE(output.deviceLost());
    pumps = 0;
    fill = kStagingBytes;
    output.handOff(staging.data(), fill, {}, [&] {
        ++pumps;
        return false;
    });
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(fill, 0);
    EXPECT_FALSE(output.deviceLost());
}

// The end of the sound: after the last handoff, playOut lets the device take
// both halves of it and silence behind them, not the loop's older content.
TEST_F(SoundOutputTest, PlayOutPlaysTheLastStagingBufferToItsEndThenSilence)
{
    const std::vector<uint8_t> staging = stagingPattern(8);
    output.start();
    {
        Handoffs handoffs(output, {staging});
        run(kHalfFrames + 1);
        ASSERT_TRUE(buffer->waitForUnlocks(2));
        run(kHalfFrames - 1);
        handoffs.join();
        EXPECT_EQ(handoffs.draws, 1);
    }
    std::thread playing([this] { output.playOut(); });
    run(kHalfFrames + 1);
    ASSERT_TRUE(buffer->waitForUnlocks(4));
    run(kHalfFrames - 1);
    ASSERT_TRUE(buffer->waitForUnlocks(5));
    run(kHalfFrames + 1);
    playing.join();
    const std::vector<uint8_t> expected = concat({std::vector<uint8_t>(kSoundBufferBytes, 0), staging,
                                                  std::vector<uint8_t>((kHalfFrames + 1) * 4, 0)});
    const std::vector<uint8_t> played = sink->played();
    ASSERT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
    EXPECT_TRUE(readAll(buffer->inner()) == std::vector<uint8_t>(kSoundBufferBytes, 0));
}

}  // namespace

namespace {

// While nothing new is handed over (the window's thread held by a dialog),
// a timer silences what has been played: the loop plays the last staging
// buffer once, then silence, never the same sound again.
TEST_F(SoundOutputTest, PlayedHalvesAreSilencedWhileNothingNewIsHandedOver)
{
    const std::vector<uint8_t> staging = stagingPattern(9);
    output.start();
    {
        Handoffs handoffs(output, {staging});
        run(kHalfFrames + 1);
        ASSERT_TRUE(buffer->waitForUnlocks(2));
        run(kHalfFrames - 1);
        handoffs.join();
    }
    // Two laps of the buffer, the timer ticking four times a half.
    for (int tick = 0; tick < 16; ++tick) {
        run(kHalfFrames / 4);
        output.silencePlayedHalves();
    }
    const std::vector<uint8_t> expected = concat(
        {std::vector<uint8_t>(kSoundBufferBytes, 0), staging, std::vector<uint8_t>(kSoundBufferBytes, 0)});
    const std::vector<uint8_t> played = sink->played();
    ASSERT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
}

}  // namespace
