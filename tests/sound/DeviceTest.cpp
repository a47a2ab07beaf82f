// The DirectSound layer on a device whose clock the test advances by hand:
// notifications, cursor, Lock regions, stop and loss.
#include "BufferDescription.h"
#include "DirectSoundCore.h"
#include "SoundDevice.h"
#include "SoundTestSupport.h"
#include "TestSink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

using namespace rilvane::dsound;

namespace {

constexpr DWORD kSize = 117600;
constexpr size_t kHalfFrames = 58800 / 4;

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(createDirectSound(sink, &ds), DS_OK); }
    void TearDown() override
    {
        for (IDirectSoundBuffer* b : buffers) b->Release();
        ds->Release();
    }

    IDirectSoundBuffer* create(DWORD bytes, DWORD flags = DSBCAPS_CTRLPOSITIONNOTIFY)
    {
        DSBUFFERDESC desc = describeCdBuffer(bytes, flags);
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        if (buffer) buffers.push_back(buffer);
        return buffer;
    }

    static HRESULT notifyAt(IDirectSoundBuffer* buffer, std::vector<DSBPOSITIONNOTIFY> positions)
    {
        IDirectSoundNotify* notify = nullptr;
        EXPECT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)), S_OK);
        const HRESULT result = notify->SetNotificationPositions(static_cast<DWORD>(positions.size()), positions.data());
        notify->Release();
        return result;
    }

    static DWORD playCursor(IDirectSoundBuffer* buffer)
    {
        DWORD play = 0;
        DWORD write = 0;
        EXPECT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
        return play;
    }

    static DWORD status(IDirectSoundBuffer* buffer)
    {
        DWORD value = 0xFFFFFFFF;
        EXPECT_EQ(buffer->GetStatus(&value), DS_OK);
        return value;
    }

    void run(size_t frames)
    {
        sink->advance(frames);
        ASSERT_TRUE(sink->settle());
    }

    std::shared_ptr<TestSink> sink = std::make_shared<TestSink>();
    IDirectSound* ds = nullptr;
    std::vector<IDirectSoundBuffer*> buffers;
};

TEST_F(DeviceTest, NotificationsFireWhenTheirByteIsPlayedEveryLapTheWrapIncluded)
{
    IDirectSoundBuffer* buffer = create(kSize);
    TestEvent middle;
    TestEvent last;
    ASSERT_EQ(notifyAt(buffer, {{58800, middle.handle}, {117599, last.handle}}), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(status(buffer), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);

    for (int lap = 0; lap < 3; ++lap) {
        run(kHalfFrames);  // bytes 0..58799 played
        EXPECT_EQ(playCursor(buffer), 58800u);
        EXPECT_FALSE(middle.isSet());
        run(1);  // byte 58800 played
        EXPECT_TRUE(middle.isSet()) << "lap " << lap;
        EXPECT_FALSE(last.isSet());
        middle.reset();
        run(kHalfFrames - 2);  // up to byte 117595
        EXPECT_EQ(playCursor(buffer), 117596u);
        EXPECT_FALSE(last.isSet());
        run(1);  // the last byte, 117599: the cursor wraps to 0
        EXPECT_EQ(playCursor(buffer), 0u);
        EXPECT_TRUE(last.isSet()) << "lap " << lap;
        EXPECT_FALSE(middle.isSet());
        last.reset();
    }

    // Steps that do not divide the buffer: still once per lap each.
    int middles = 0;
    int lasts = 0;
    for (int step = 0; step < 294; ++step) {  // 294 x 1000 frames = ten laps
        run(1000);
        if (middle.isSet()) ++middles;
        if (last.isSet()) ++lasts;
        middle.reset();
        last.reset();
    }
    EXPECT_EQ(middles, 10);
    EXPECT_EQ(lasts, 10);
    EXPECT_EQ(playCursor(buffer), 0u);
}

TEST_F(DeviceTest, StopKeepsContentAndPositionAndPlayResumesThere)
{
    IDirectSoundBuffer* buffer = create(kSize);
    fillWithFrameNumbers(buffer);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    run(3000);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(status(buffer), 0u);
    EXPECT_EQ(playCursor(buffer), 12000u);

    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(playCursor(buffer), 12000u);
    run(29400 - 3000 + 500);  // round the end and on into the next lap

    const std::vector<uint8_t> played = sink->played();
    ASSERT_EQ(played.size(), size_t{29900} * 4);
    for (uint32_t frame = 0; frame < 29900; ++frame) {
        uint32_t value = 0;
        std::memcpy(&value, played.data() + frame * 4, 4);
        ASSERT_EQ(value, frame % 29400) << "frame " << frame;
    }
    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(readAll(buffer), frameNumbers(kSize));
}

TEST_F(DeviceTest, LockSplitsARangeThatWrapsAndUnlockStoresIt)
{
    IDirectSoundBuffer* buffer = create(kSize);
    LPVOID p1 = nullptr;
    LPVOID p2 = nullptr;
    DWORD b1 = 0;
    DWORD b2 = 0;
    ASSERT_EQ(buffer->Lock(100000, 40000, &p1, &b1, &p2, &b2, 0), DS_OK);
    EXPECT_EQ(b1, 17600u);
    EXPECT_EQ(b2, 22400u);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 100000);
    std::memset(p1, 0x11, b1);
    std::memset(p2, 0x22, b2);
    ASSERT_EQ(buffer->Unlock(p1, b1, p2, b2), DS_OK);

    const std::vector<uint8_t> all = readAll(buffer);
    for (DWORD i = 0; i < kSize; ++i) {
        const uint8_t expected = i >= 100000 ? 0x11 : i < 22400 ? 0x22 : 0;
        ASSERT_EQ(all[i], expected) << "byte " << i;
    }

    // The whole buffer is one region; bad ranges and foreign pointers fail.
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &b1, &p2, &b2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(b1, kSize);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(b2, 0u);
    uint8_t foreign[16] = {};
    EXPECT_EQ(buffer->Unlock(foreign, sizeof foreign, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(p1, b1 + 1, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(p1, b1, nullptr, 0), DS_OK);
    EXPECT_EQ(buffer->Lock(kSize, 4, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, kSize + 4, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 0, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(100000, 40000, &p1, &b1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(DeviceTest, StopAndReleaseWakeWaiters)
{
    IDirectSoundBuffer* buffer = create(kSize);
    TestEvent middle;
    TestEvent onStop;
    ASSERT_EQ(notifyAt(buffer, {{58800, middle.handle}, {NotifyOnStop, onStop.handle}}), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    run(2 * 29400);
    EXPECT_FALSE(onStop.isSet()) << "the stop position fires on stop only";
    middle.reset();

    std::thread waiter([&] { WaitForSingleObject(middle.handle, INFINITE); });
    buffer->Stop();
    waiter.join();
    EXPECT_TRUE(onStop.isSet());
    EXPECT_EQ(status(buffer), 0u);

    // Stopping a stopped buffer wakes a waiter too.
    middle.reset();
    std::thread second([&] { WaitForSingleObject(middle.handle, INFINITE); });
    buffer->Stop();
    second.join();

    // Releasing a playing buffer wakes its waiters as a stop does.
    IDirectSoundBuffer* other = create(kSize);
    TestEvent otherMiddle;
    ASSERT_EQ(notifyAt(other, {{58800, otherMiddle.handle}}), DS_OK);
    ASSERT_EQ(other->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::thread third([&] { WaitForSingleObject(otherMiddle.handle, INFINITE); });
    buffers.pop_back();
    EXPECT_EQ(other->Release(), 0u);
    third.join();
}

// The owner may close a buffer's event handles as soon as its final Release
// returns: from then on the device must set none of them, not even those of
// offsets it passed just before.
TEST_F(DeviceTest, NoEventOfAReleasedBufferIsSetAfterItsReleaseReturns)
{
    sink->advance(size_t{1} << 40);  // the device takes all it gets: the feeder runs freely
    std::vector<std::unique_ptr<TestEvent>> events(64);
    for (auto& event : events) event = std::make_unique<TestEvent>();
    std::vector<DSBPOSITIONNOTIFY> positions;
    for (const auto& event : events) positions.push_back({0, event->handle});  // one round passes them all
    int late = 0;
    for (int round = 0; round < 150 && late == 0; ++round) {
        IDirectSoundBuffer* buffer = create(400);
        ASSERT_EQ(notifyAt(buffer, positions), DS_OK);
        ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        while (!events.back()->isSet()) std::this_thread::yield();
        buffers.pop_back();
        EXPECT_EQ(buffer->Release(), 0u);
        for (const auto& event : events) event->reset();
        for (int spin = 0; spin < 50; ++spin) std::this_thread::yield();
        for (const auto& event : events) late += event->isSet() ? 1 : 0;
    }
    EXPECT_EQ(late, 0) << "events set after Release returned";
}

TEST_F(DeviceTest, LostDeviceWakesWaitersIsLetGoAndPlaysAgainOnceBack)
{
    IDirectSoundBuffer* buffer = create(kSize);
    TestEvent last;
    ASSERT_EQ(notifyAt(buffer, {{117599, last.handle}}), DS_OK);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    run(1000);

    std::thread waiter([&] { WaitForSingleObject(last.handle, INFINITE); });
    sink->lose();
    waiter.join();
    EXPECT_EQ(status(buffer), DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DSERR_BUFFERLOST);
    LPVOID p1 = nullptr;
    DWORD b1 = 0;
    EXPECT_EQ(buffer->Lock(0, 0, &p1, &b1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DSERR_BUFFERLOST);
    DSBUFFERDESC desc = describeCdBuffer(kSize, 0);
    IDirectSoundBuffer* another = nullptr;
    EXPECT_NE(ds->CreateSoundBuffer(&desc, &another, nullptr), DS_OK);
    EXPECT_EQ(another, nullptr);
    EXPECT_EQ(sink->releases(), 1u);

    // Back again: Lock and Play open it, and the buffer plays on from where
    // the loss left it, with its notifications.
    sink->comeBack();
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &b1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    std::memset(p1, 0x5A, b1);
    ASSERT_EQ(buffer->Unlock(p1, b1, nullptr, 0), DS_OK);
    const size_t before = sink->played().size();
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(status(buffer), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    last.reset();
    run(kSize / 4);
    const std::vector<uint8_t> played = sink->played();
    ASSERT_EQ(played.size(), before + kSize);
    EXPECT_EQ(played.back(), 0x5A);
    EXPECT_TRUE(last.isSet());
}

TEST_F(DeviceTest, OneShotBufferPlaysToItsEndThenStopsAtTheStart)
{
    IDirectSoundBuffer* buffer = create(8000);
    TestEvent onStop;
    ASSERT_EQ(notifyAt(buffer, {{NotifyOnStop, onStop.handle}}), DS_OK);
    fillWithFrameNumbers(buffer);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(status(buffer), DSBSTATUS_PLAYING);
    run(2048);  // two periods: the second ends in silence
    EXPECT_EQ(status(buffer), 0u);
    EXPECT_EQ(playCursor(buffer), 0u);
    EXPECT_TRUE(onStop.isSet());
    std::vector<uint8_t> expected = frameNumbers(8000);
    expected.resize(2048 * 4, 0);
    EXPECT_EQ(sink->played(), expected);
}

TEST_F(DeviceTest, SeveralPlayingBuffersAreMixedAndClipped)
{
    IDirectSoundBuffer* loud = create(400, 0);
    IDirectSoundBuffer* louder = create(400, 0);
    fillWithSample(loud, 20000);
    fillWithSample(louder, 20000);
    loud->Play(0, 0, DSBPLAY_LOOPING);
    louder->Play(0, 0, DSBPLAY_LOOPING);
    run(2048);  // the first period may hold the first buffer alone, the second holds both
    fillWithSample(louder, -25000);
    run(2048);  // the period copied before the change, then one after it
    const std::vector<uint8_t> played = sink->played();
    ASSERT_EQ(played.size(), 4096u * 4);
    int16_t both = 0;
    int16_t lastSample = 0;
    std::memcpy(&both, played.data() + 1024 * 4, 2);
    std::memcpy(&lastSample, played.data() + played.size() - 2, 2);
    EXPECT_EQ(both, 32767);
    EXPECT_EQ(lastSample, -5000);
}

TEST_F(DeviceTest, NotificationPositionsAreCheckedAndNeedTheFlag)
{
    IDirectSoundBuffer* plain = create(kSize, 0);
    void* notify = nullptr;
    EXPECT_EQ(plain->QueryInterface(IID_IDirectSoundNotify, &notify), E_NOINTERFACE);
    EXPECT_EQ(notify, nullptr);

    IDirectSoundBuffer* buffer = create(kSize);
    TestEvent event;
    EXPECT_EQ(notifyAt(buffer, {{kSize, event.handle}}), DSERR_INVALIDPARAM);
    EXPECT_EQ(notifyAt(buffer, {{0, nullptr}}), DSERR_INVALIDPARAM);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(notifyAt(buffer, {{0, event.handle}}), DSERR_INVALIDCALL);
}

TEST(BufferDescription, OnlyTheTwentyByteFormOfSixteenBitStereoCdAudioIsTaken)
{
    BufferShape shape;
    DSBUFFERDESC desc = describeCdBuffer(117600, 0x8102);
    EXPECT_EQ(checkBufferDescription(&desc, shape), DS_OK);
    EXPECT_EQ(shape.bytes, 117600u);
    EXPECT_EQ(shape.flags, 0x8102u);

    struct Case {
        const char* what;
        void (*change)(DSBUFFERDESC&, WAVEFORMATEX&);
        HRESULT expected;
    };
    const Case cases[] = {
        {"36-byte form", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 36; }, DS_OK},
        {"size 24", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 24; }, DSERR_INVALIDPARAM},
        {"size 0", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 0; }, DSERR_INVALIDPARAM},
        {"no format", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.lpwfxFormat = 0; }, DSERR_INVALIDPARAM},
        {"primary", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags |= DSBCAPS_PRIMARYBUFFER; }, DSERR_UNSUPPORTED},
        {"not PCM", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.wFormatTag = 3; }, DSERR_INVALIDPARAM},
        {"block align", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.nBlockAlign = 2; }, DSERR_INVALIDPARAM},
        {"byte rate", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.nAvgBytesPerSec = 44100; }, DSERR_INVALIDPARAM},
        {"8 bits",
         [](DSBUFFERDESC&, WAVEFORMATEX& f) {
             f.wBitsPerSample = 8;
             f.nBlockAlign = 2;
             f.nAvgBytesPerSec = 88200;
         },
         DSERR_UNSUPPORTED},
        {"48000 Hz",
         [](DSBUFFERDESC&, WAVEFORMATEX& f) {
             f.nSamplesPerSec = 48000;
             f.nAvgBytesPerSec = 192000;
         },
         DSERR_UNSUPPORTED},
        {"no bytes", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = 0; }, DSERR_INVALIDPARAM},
        {"half a frame", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = 117602; }, DSERR_INVALIDPARAM},
        {"too large", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = MaxBufferBytes + 4; }, DSERR_INVALIDPARAM},
        {"smallest", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = 4; }, DS_OK},
    };
    for (const Case& c : cases) {
        DSBUFFERDESC d = describeCdBuffer(117600, 0x8102);
        WAVEFORMATEX* format = lowCdFormat();
        c.change(d, *format);
        EXPECT_EQ(checkBufferDescription(&d, shape), c.expected) << c.what;
        setCdFormat(format);
    }
}

}  // namespace
