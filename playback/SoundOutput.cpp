// Sound set-up, start, half-buffer handoff, stop and release.
//
// The handoff waits on the buffer's notification events and relies on the
// buffer playing. So that a buffer that is stopped or lost
// (for instance by a second playback session started from the first one's
// message pump) never leaves it waiting for ever, the handoff asks GetStatus
// before its first wait and again right after resetting the events that
// each wait consumed. The DirectSound layer marks a buffer stopped or lost
// first and then sets all its events; so either the check sees the stop, or
// the stop's events arrive after the reset and end the next wait. When the
// buffer no longer plays, the handoff leaves at once without copying
// anything more and without drawing; the fill count is still set to 0, so
// the session goes on collecting from the start of its staging buffer.
//
// A wait first sleeps as long as the device should take to reach the
// notification, from where its play cursor stands, and a little more: on a
// device that plays, the event ends that sleep and the window's events run
// between the reads as they always did, without waking the thread in
// between. Only a wait that outlasts it (a device that takes its time or
// none at all) goes on in short slices, and between two slices the caller's
// pump lets the window's events run (Stop, closing) and may end the wait. A
// device that takes no sound at all (a sound server paused, a reader that
// stopped) holds the play cursor still: after kStallMs of that the wait ends
// and the device counts as lost.
//
// The buffer loops: a half that has been played comes round again unless
// something new is written into it. While the window's thread is held
// elsewhere (a dialog, a rip started during playback) the handoff cannot
// write, so silencePlayedHalves(), called from a timer that runs in those
// loops too, overwrites every half that has been played through with
// silence: nothing is heard twice.
#include "playback/SoundOutput.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace rilvane {

namespace {

constexpr uint64_t kAddressLimit = 0x100000000ull;  // the format's address must fit 32 bits

// Copies `bytes` bytes to the logical offset `offset` of the two lock
// regions taken as one run, and only as far as the regions reach.
void copyIntoRegions(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2, DWORD offset, const uint8_t* source,
                     DWORD bytes)
{
    auto copyInto = [&](LPVOID region, DWORD regionBytes) {
        if (!region || bytes == 0) return;
        if (offset >= regionBytes) {
            offset -= regionBytes;
            return;
        }
        const DWORD n = std::min(bytes, regionBytes - offset);
        std::memcpy(static_cast<uint8_t*>(region) + offset, source, n);
        source += n;
        bytes -= n;
        offset = 0;
    };
    copyInto(ptr1, bytes1);
    copyInto(ptr2, bytes2);
}

}  // namespace

SoundOutput::~SoundOutput()
{
    release();
}

bool SoundOutput::setUp(DirectSoundCreateFunc directSoundCreate, HWND window)
{
    release();
    if (!directSoundCreate) return false;

    // 1. The DirectSound object of the default device.
    if (directSoundCreate(nullptr, &dsObject_, nullptr) != DS_OK) {
        dsObject_ = nullptr;
        return false;
    }
    // 2. Cooperative level: priority.
    if (dsObject_->SetCooperativeLevel(window, DSSCL_PRIORITY) != DS_OK) return false;

    // 3. The wave format record and the buffer description, zeroed and then
    //    filled field by field.
    waveFormat_ = static_cast<WAVEFORMATEX*>(
        VirtualAlloc(nullptr, sizeof(WAVEFORMATEX), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!waveFormat_) return false;
    const uintptr_t formatAddress = reinterpret_cast<uintptr_t>(waveFormat_);
    if (formatAddress >= kAddressLimit) return false;
    std::memset(waveFormat_, 0, sizeof(WAVEFORMATEX));
    waveFormat_->wFormatTag = WAVE_FORMAT_PCM;
    waveFormat_->nChannels = cd::kChannels;
    waveFormat_->nSamplesPerSec = cd::kSampleRate;
    waveFormat_->nAvgBytesPerSec = cd::kBytesPerSecond;
    waveFormat_->nBlockAlign = cd::kFrameBytes;
    waveFormat_->wBitsPerSample = cd::kBitsPerSample;
    waveFormat_->cbSize = 0;
    std::memset(&bufferDesc_, 0, sizeof bufferDesc_);
    bufferDesc_.dwSize = sizeof(DSBUFFERDESC);
    bufferDesc_.dwFlags = kSoundBufferFlags;
    bufferDesc_.dwBufferBytes = kSoundBufferBytes;
    bufferDesc_.dwReserved = 0;
    bufferDesc_.lpwfxFormat = static_cast<DWORD>(formatAddress);

    // 4. The sound buffer.
    if (dsObject_->CreateSoundBuffer(&bufferDesc_, &soundBuffer_, nullptr) != DS_OK) {
        soundBuffer_ = nullptr;
        return false;
    }
    // 5. Its notification interface.
    void* notify = nullptr;
    if (soundBuffer_->QueryInterface(IID_IDirectSoundNotify, &notify) != S_OK) return false;
    notify_ = static_cast<LPDIRECTSOUNDNOTIFY>(notify);

    // 6. The first-half and the second-half event: manual reset, not
    //    signalled, no name.
    if (!firstHalfEvent_.create()) return false;
    if (!secondHalfEvent_.create()) return false;

    // 7. Notification at the middle of the buffer and at its last byte.
    notifyPositions_[0].dwOffset = kHalfBufferBytes;
    notifyPositions_[0].hEventNotify = firstHalfEvent_.get();
    notifyPositions_[1].dwOffset = kLastByteOffset;
    notifyPositions_[1].hEventNotify = secondHalfEvent_.get();
    notify_->SetNotificationPositions(2, notifyPositions_);
    return true;
}

void SoundOutput::release()
{
    if (notify_) {
        notify_->Release();
        notify_ = nullptr;
    }
    if (soundBuffer_) {
        soundBuffer_->Release();
        soundBuffer_ = nullptr;
    }
    if (dsObject_) {
        dsObject_->Release();
        dsObject_ = nullptr;
    }
    // Nothing sets the events once the buffer is gone.
    firstHalfEvent_.close();
    secondHalfEvent_.close();
    if (waveFormat_) {
        VirtualFree(waveFormat_, 0, MEM_RELEASE);
        waveFormat_ = nullptr;
    }
}

void SoundOutput::start()
{
    stalled_ = false;
    if (!soundBuffer_) return;
    lockPtr1_ = lockPtr2_ = nullptr;
    lockBytes1_ = lockBytes2_ = 0;
    if (soundBuffer_->Lock(0, 0, &lockPtr1_, &lockBytes1_, &lockPtr2_, &lockBytes2_, DSBLOCK_ENTIREBUFFER) == DS_OK) {
        // Silence over the whole buffer, as far as the regions Lock gave.
        DWORD left = kSoundBufferBytes;
        const DWORD first = std::min(left, lockPtr1_ ? lockBytes1_ : 0);
        if (first) std::memset(lockPtr1_, 0, first);
        left -= first;
        const DWORD second = std::min(left, lockPtr2_ ? lockBytes2_ : 0);
        if (second) std::memset(lockPtr2_, 0, second);
        soundBuffer_->Unlock(lockPtr1_, lockBytes1_, lockPtr2_, lockBytes2_);
    }
    // Stopping the buffer sets both events (so that no handoff waits on a
    // buffer that no longer plays). Left set, they would let the first
    // handoff of this session write into the half that is playing, and the
    // start would stutter: clear them, so that silence plays until the first
    // handoff has written both halves in step with the cursor.
    if (firstHalfEvent_.valid()) ResetEvent(firstHalfEvent_.get());
    if (secondHalfEvent_.valid()) ResetEvent(secondHalfEvent_.get());
    for (HalfState& half : halves_) half = HalfState{};
    lastWrite_.reset();
    soundBuffer_->Play(0, 0, DSBPLAY_LOOPING);
}

void SoundOutput::handOff(const uint8_t* staging, int32_t& fillCount, const WaveformDraw& drawWaveform,
                          const WaitPump& pump)
{
    if (!isSetUp() || !stillPlaying()) {
        fillCount = 0;
        return;
    }

    // 1. Wait for the first-half event: the play cursor has passed 58800, so
    //    the first half has been played and the second half is playing.
    const bool firstHalfPlayed = waitFor(firstHalfEvent_.get(), pump);
    // 2. Reset the first-half event, then the second-half event.
    ResetEvent(firstHalfEvent_.get());
    ResetEvent(secondHalfEvent_.get());
    if (!firstHalfPlayed || !stillPlaying()) {
        fillCount = 0;
        return;
    }
    // 3. Lock the whole buffer; 4. copy the first 58800 staging bytes into the
    //    first half; 5. unlock with the regions as Lock returned them.
    writeHalf(staging, 0);

    // 6. Wait for the second-half event: the cursor has passed the last byte,
    //    so the second half has been played and the first half, with the new
    //    data, is playing.
    const bool secondHalfPlayed = waitFor(secondHalfEvent_.get(), pump);
    // 7. Reset the second-half event, then the first-half event.
    ResetEvent(secondHalfEvent_.get());
    ResetEvent(firstHalfEvent_.get());
    if (!secondHalfPlayed || !stillPlaying()) {
        fillCount = 0;
        return;
    }
    // 8. Lock the whole buffer again; 9. copy the staging bytes from 58800 on
    //    to the same offsets; 10. unlock.
    writeHalf(staging, kHalfBufferBytes);

    // 11. Draw the staging buffer into the waveform view.
    if (drawWaveform) drawWaveform(staging);
    // 12. The staging buffer is empty again.
    fillCount = 0;
}

void SoundOutput::playOut(const WaitPump& pump)
{
    if (!isSetUp() || !stillPlaying()) return;
    // The last handoff left the first half playing and the second half
    // queued: each is overwritten with silence once it has been played, so
    // the loop does not come round to it again.
    for (const auto& [event, half] : {std::pair{firstHalfEvent_.get(), DWORD{0}},
                                      std::pair{secondHalfEvent_.get(), kHalfBufferBytes}}) {
        const bool played = waitFor(event, pump);
        ResetEvent(firstHalfEvent_.get());
        ResetEvent(secondHalfEvent_.get());
        if (!played || !stillPlaying()) return;
        writeHalf(nullptr, half);
    }
    waitFor(firstHalfEvent_.get(), pump);
    ResetEvent(firstHalfEvent_.get());
    ResetEvent(secondHalfEvent_.get());
}

void SoundOutput::stop()
{
    if (soundBuffer_) soundBuffer_->Stop();
}

bool SoundOutput::deviceLost() const
{
    DWORD status = 0;
    return stalled_ ||
           (soundBuffer_ && soundBuffer_->GetStatus(&status) == DS_OK && (status & DSBSTATUS_BUFFERLOST) != 0);
}

void SoundOutput::silencePlayedHalves()
{
    if (!isSetUp() || !stillPlaying()) return;
    const int playing = halfOf(playCursor());
    noteCursorIn(playing);
    HalfState& other = halves_[1 - playing];
    // A half with new sound that the cursor has been in and has left again
    // has been played through.
    if (other.fresh && other.entered) other.fresh = false;
    for (int half = 0; half < 2; ++half) {
        if (!halves_[half].fresh && !halves_[half].silent) writeHalf(nullptr, half == 0 ? 0 : kHalfBufferBytes);
    }
}

int SoundOutput::halfOf(DWORD offset)
{
    return offset < kHalfBufferBytes ? 0 : 1;
}

void SoundOutput::noteCursorIn(int half)
{
    if (halves_[half].fresh) halves_[half].entered = true;
}

DWORD SoundOutput::expectedWaitMs(HANDLE event) const
{
    const DWORD target = event == firstHalfEvent_.get() ? kHalfBufferBytes : kLastByteOffset;
    const DWORD cursor = playCursor() % kSoundBufferBytes;
    const DWORD distance = (target + kSoundBufferBytes - cursor) % kSoundBufferBytes;
    const DWORD ms = static_cast<DWORD>(uint64_t{distance} * 1000 / cd::kBytesPerSecond) + kWaitMarginMs;
    return std::clamp<DWORD>(ms, kWaitSliceMs, kSoundBufferBytes * 1000 / cd::kBytesPerSecond + kWaitMarginMs);
}

bool SoundOutput::waitFor(HANDLE event, const WaitPump& pump)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto stallLimit = std::chrono::milliseconds(kStallMs);
    // A pump that held the thread this long (a dialog, a rip started from
    // the window) says nothing about the device.
    constexpr auto longPump = std::chrono::seconds(1);
    DWORD cursor = playCursor();
    auto still = Clock::now();
    // Long after the last write (the window's thread was held between two
    // reads) the event says only that the cursor passed its offset at some
    // time: wait for its next pass, so that the half is written in step
    // rather than while it plays.
    if (lastWrite_ && still - *lastWrite_ > std::chrono::milliseconds(kResyncAfterMs)) ResetEvent(event);
    // As long as the device should take, then in slices.
    if (WaitForSingleObject(event, expectedWaitMs(event)) == WAIT_OBJECT_0) return true;
    for (bool first = true;; first = false) {
        if (!first && WaitForSingleObject(event, kWaitSliceMs) == WAIT_OBJECT_0) return true;
        if (!stillPlaying()) return false;
        if (pump) {
            const auto before = Clock::now();
            if (!pump()) return false;
            if (Clock::now() - before >= longPump) {
                still = Clock::now();
                // The event may have been set long ago and the cursor be
                // anywhere now: the half is written once the cursor next
                // leaves it, in step again, not while it plays.
                ResetEvent(event);
            }
            if (!stillPlaying()) return false;
        }
        const DWORD now = playCursor();
        if (now != cursor) {
            cursor = now;
            still = Clock::now();
        } else if (Clock::now() - still >= stallLimit) {
            stalled_ = true;
            return false;
        }
    }
}

DWORD SoundOutput::playCursor() const
{
    DWORD play = 0;
    DWORD write = 0;
    if (soundBuffer_->GetCurrentPosition(&play, &write) != DS_OK) return 0;
    return play;
}

bool SoundOutput::stillPlaying() const
{
    DWORD status = 0;
    if (soundBuffer_->GetStatus(&status) != DS_OK) return false;
    return (status & DSBSTATUS_PLAYING) != 0 && (status & DSBSTATUS_BUFFERLOST) == 0;
}

// Lock, copy one half of the staging buffer (or silence) to the same
// offsets of the sound buffer, Unlock. Nothing is copied when Lock fails,
// and nothing beyond the regions it returned.
void SoundOutput::writeHalf(const uint8_t* source, DWORD offset)
{
    static const uint8_t silence[kHalfBufferBytes] = {};
    lockPtr1_ = lockPtr2_ = nullptr;
    lockBytes1_ = lockBytes2_ = 0;
    if (soundBuffer_->Lock(0, 0, &lockPtr1_, &lockBytes1_, &lockPtr2_, &lockBytes2_, DSBLOCK_ENTIREBUFFER) != DS_OK)
        return;
    copyIntoRegions(lockPtr1_, lockBytes1_, lockPtr2_, lockBytes2_, offset, source ? source + offset : silence,
                    kHalfBufferBytes);
    soundBuffer_->Unlock(lockPtr1_, lockBytes1_, lockPtr2_, lockBytes2_);
    if (source) lastWrite_ = std::chrono::steady_clock::now();
    HalfState& written = halves_[halfOf(offset)];
    written = HalfState{};
    written.fresh = source != nullptr;
    written.silent = source == nullptr;
    // The handoff writes a half once the cursor has left it: the cursor is
    // in the other one, which is then being played.
    noteCursorIn(halfOf(playCursor()));
}

}  // namespace rilvane
