// A DirectSound object and sound buffer that pass every call on to the real
// ones and let the test watch (count Unlocks, wait for them) and meddle
// (make Lock fail or return short regions, make buffer creation fail).
#pragma once

#include "platform/DirectSound.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

class RecordingBuffer final : public IDirectSoundBuffer {
public:
    explicit RecordingBuffer(IDirectSoundBuffer* inner) : inner_(inner) {}

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1, LPVOID* audioPtr2,
                 DWORD* audioBytes2, DWORD flags) override;
    HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) override;
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2) override;

    IDirectSoundBuffer* inner() const { return inner_; }
    int unlocks() const;
    // Waits until at least `count` Unlocks have happened; false after a
    // generous guard.
    bool waitForUnlocks(int count) const;

    std::atomic<bool> failLocks{false};
    std::atomic<DWORD> lockLimit{0};  // non-zero: Lock gives only the first lockLimit bytes

private:
    ~RecordingBuffer() override = default;

    IDirectSoundBuffer* inner_;
    std::atomic<ULONG> references_{1};
    mutable std::mutex mutex_;
    mutable std::condition_variable unlocked_;
    int unlocks_ = 0;
};

class RecordingDirectSound final : public IDirectSound {
public:
    explicit RecordingDirectSound(IDirectSound* inner) : inner_(inner) {}

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

    // The last buffer made, not owned.
    RecordingBuffer* lastBuffer = nullptr;
    DSBUFFERDESC lastDesc{};
    WAVEFORMATEX lastFormat{};
    DWORD lastLevel = 0;
    bool failCreateBuffer = false;

private:
    ~RecordingDirectSound() override = default;

    IDirectSound* inner_;
    std::atomic<ULONG> references_{1};
};
