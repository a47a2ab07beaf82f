// One sound device: its PCM sink, the feeder thread that plays the buffers
// into it, and every operation on the buffers' shared state.
//
// The COM objects (DirectSoundObject, SoundBufferObject) are thin shells over
// this class; all locking lives in SoundDevice.cpp, whose head describes the
// threading protocol.
#pragma once

#include "PcmSink.h"
#include "platform/DirectSound.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace rilvane::dsound {

// A notification offset that fires when the buffer stops (DSBPN_OFFSETSTOP).
constexpr DWORD NotifyOnStop = 0xFFFFFFFFu;
// Most notification positions one buffer takes (DSBNOTIFICATIONS_MAX).
constexpr DWORD MaxNotifications = 100000;

struct BufferState;

class SoundDevice {
public:
    // Starts the feeder thread on the sink.
    explicit SoundDevice(std::shared_ptr<PcmSink> sink);
    // Stops the feeder thread; the sink is left to its other owners.
    ~SoundDevice();

    // The deleter of a device handed out to the program: stops the feeder
    // and deletes the device, waiting at most kRetireLimitMs for the feeder
    // to end. A feeder still held by the device after that (a write into a
    // device that takes nothing, say a pipe whose reader stopped) is left
    // to delete the device itself once the device lets it go, so that the
    // program is not held up by it.
    static void retire(SoundDevice* device);
    static constexpr int kRetireLimitMs = 500;
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    // A new, stopped buffer of the given size, filled with silence; null
    // when the device has been lost.
    std::shared_ptr<BufferState> addBuffer(DWORD bytes);
    // The buffer's owner lets go of it: it stops (waking its waiters) and
    // the device never touches it or its events again.
    void removeBuffer(const std::shared_ptr<BufferState>& buffer);

    HRESULT play(BufferState& buffer, bool looping);
    HRESULT stop(BufferState& buffer);
    DWORD status(BufferState& buffer);
    HRESULT position(BufferState& buffer, DWORD* playCursor, DWORD* writeCursor);
    HRESULT lock(BufferState& buffer, DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1,
                 LPVOID* audioPtr2, DWORD* audioBytes2, DWORD flags);
    HRESULT unlock(BufferState& buffer, LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2);
    HRESULT setNotifications(BufferState& buffer, DWORD count, const DSBPOSITIONNOTIFY* positions);

    bool lost();

private:
    void feed();
    // The feeder's last step: says it has ended and deletes the device
    // when it was left to do so.
    void feederEnded();
    bool anyPlaying() const;
    size_t framesUpToNextNotification(size_t period) const;
    size_t mix(size_t frames, int16_t* out);
    void advance(BufferState& buffer, DWORD bytes);
    void halt(BufferState& buffer);
    void loseDevice();
    bool restore();

    std::shared_ptr<PcmSink> sink_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<BufferState>> buffers_;
    bool lost_ = false;
    bool shutdown_ = false;
    std::vector<int16_t> scratch_;
    std::vector<int32_t> sum_;
    std::vector<HANDLE> passed_;  // events of offsets passed, set by the feeder once the mutex is free
    std::mutex signalling_;       // held by the feeder while it sets them
    std::condition_variable ended_;  // the feeder has ended
    bool feederEnded_ = false;
    bool orphaned_ = false;  // retire() gave up waiting: the feeder deletes the device
    std::thread feeder_;  // last: starts once everything above exists
};

}  // namespace rilvane::dsound
