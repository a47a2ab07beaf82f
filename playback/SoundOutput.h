// The sound output of the main window: one looping DirectSound buffer of
// 117600 bytes (two thirds of a second of CD audio), refilled half by half
// from the playback session's staging buffer in step with two notification
// events, one at the middle of the buffer and one at its last byte.
#pragma once

#include "platform/DirectSound.h"

#include <cstdint>

#include "drive/CdAudio.h"
#include "drive/EventHandle.h"
#include <functional>

namespace rilvane {

constexpr DWORD kSoundBufferBytes = cd::kSoundBufferBytes;  // 29400 frames, 50 sectors
constexpr DWORD kHalfBufferBytes = cd::kHalfBufferBytes;    // 14700 frames, 25 sectors
constexpr DWORD kLastByteOffset = kSoundBufferBytes - 1;    // where the second-half notification sits
constexpr int32_t kStagingBytes = cd::kStagingBytes;        // five read blocks
// DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_STATIC
constexpr DWORD kSoundBufferFlags = 0x8102;

// Draws one staging buffer (117600 bytes) into the waveform view.
using WaveformDraw = std::function<void(const uint8_t* staging)>;

class SoundOutput {
public:
    SoundOutput() = default;
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Sound set-up: creates the DirectSound object through directSoundCreate
    // (null when the library or the entry point is missing), the sound
    // buffer, its notification interface and the two events. False as soon
    // as a step fails; what was made so far is kept for release().
    bool setUp(DirectSoundCreateFunc directSoundCreate, HWND window);

    // Releases the notification interface, the sound buffer and the
    // DirectSound object, in this order, then closes the two events.
    void release();

    // Sound start: silence in the whole buffer, then play it in a loop from
    // where it stands.
    void start();

    // Half-buffer handoff of a full staging buffer (117600 bytes): waits for
    // each half of the sound buffer to finish playing and refills it, draws
    // the waveform and sets fillCount to 0.
    void handOff(const uint8_t* staging, int32_t& fillCount, const WaveformDraw& drawWaveform);

    // Sound stop.
    void stop();

    // Whether the sound device has gone away (the buffer reports itself
    // lost). The next start tries the device again.
    bool deviceLost() const;

    // The state, for the window and for tests.
    bool isSetUp() const { return notify_ != nullptr && secondHalfEvent_.valid(); }
    LPDIRECTSOUNDBUFFER soundBuffer() const { return soundBuffer_; }
    HANDLE firstHalfEvent() const { return firstHalfEvent_.get(); }
    HANDLE secondHalfEvent() const { return secondHalfEvent_.get(); }
    const WAVEFORMATEX* waveFormat() const { return waveFormat_; }
    const DSBUFFERDESC& bufferDesc() const { return bufferDesc_; }
    const DSBPOSITIONNOTIFY* notifyPositions() const { return notifyPositions_; }

private:
    bool stillPlaying() const;
    void writeHalf(const uint8_t* staging, DWORD offset);

    LPDIRECTSOUND dsObject_ = nullptr;
    LPDIRECTSOUNDBUFFER soundBuffer_ = nullptr;
    LPDIRECTSOUNDNOTIFY notify_ = nullptr;
    WAVEFORMATEX* waveFormat_ = nullptr;  // in the low 4 GiB: its address goes into a 32-bit field
    DSBUFFERDESC bufferDesc_{};
    EventHandle firstHalfEvent_;
    EventHandle secondHalfEvent_;
    DSBPOSITIONNOTIFY notifyPositions_[2]{};
    // The lock regions, handed back to Unlock as Lock returned them.
    LPVOID lockPtr1_ = nullptr;
    DWORD lockBytes1_ = 0;
    LPVOID lockPtr2_ = nullptr;
    DWORD lockBytes2_ = 0;
};

}  // namespace rilvane
