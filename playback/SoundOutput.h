// The sound output of the main window: one looping DirectSound buffer of
// 117600 bytes (two thirds of a second of CD audio), refilled half by half
// from the playback session's staging buffer in step with two notification
// events, one at the middle of the buffer and one at its last byte.
#pragma once

#include "platform/DirectSound.h"

#include <chrono>
#include <cstdint>
#include <optional>

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
// Called between the slices of a wait for the sound buffer: lets the
// window's events run; false ends the wait (a stop request).
using WaitPump = std::function<bool()>;

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
    // the waveform and sets fillCount to 0. The waits run in slices of
    // kWaitSliceMs with `pump` between them; the handoff leaves early,
    // without drawing, when the pump returns false, the buffer stops, or the
    // device takes no sound for kStallMs (then deviceLost() is true).
    void handOff(const uint8_t* staging, int32_t& fillCount, const WaveformDraw& drawWaveform,
                 const WaitPump& pump = {});

    // After the last handoff of a session: lets the sound buffer play out
    // what it holds (the half playing and the half queued behind it) with
    // silence written behind it, and then half a buffer of silence more, so
    // that the device's own buffer has played the end too. Waits as
    // handOff does.
    void playOut(const WaitPump& pump = {});

    // Overwrites with silence each half of the sound buffer that holds
    // nothing new: played through since it was last written (or never
    // written at all). Meant for a timer that runs while the window's thread
    // is held elsewhere and no handoff writes (a dialog, a rip started
    // during playback), so that the loop does not play the same sound again.
    // Does nothing unless the buffer plays.
    void silencePlayedHalves();

    // Sound stop.
    void stop();

    // Whether the sound device has gone away: the buffer reports itself
    // lost, or the device took no sound for kStallMs while it played (a
    // sound server paused, a reader that stopped). The next start tries the
    // device again.
    bool deviceLost() const;

    // How long one wait for the sound buffer runs before the pump is asked,
    // once the device has had the time it should take.
    static constexpr DWORD kWaitSliceMs = 50;
    // What a wait gives the device beyond the time it should take: the play
    // cursor moves by the device's periods, and a sound server or a pipe
    // takes them in bursts.
    static constexpr DWORD kWaitMarginMs = 150;
    // A wait that starts this long after the last write waits for the next
    // pass of the cursor (longer than the whole buffer plays).
    static constexpr int kResyncAfterMs = 800;
    // A playing buffer whose play cursor stands still this long has lost
    // its device.
    static constexpr int kStallMs = 5000;

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
    // Waits for `event` in slices; false when the wait ended otherwise (see
    // handOff).
    bool waitFor(HANDLE event, const WaitPump& pump);
    // How long the device should take from its play cursor to `event`'s
    // offset, with a margin.
    DWORD expectedWaitMs(HANDLE event) const;
    DWORD playCursor() const;
    static int halfOf(DWORD offset);
    void noteCursorIn(int half);
    // Writes one half of the sound buffer at `offset`: from source + offset,
    // or silence when source is null.
    void writeHalf(const uint8_t* source, DWORD offset);

    LPDIRECTSOUND dsObject_ = nullptr;
    LPDIRECTSOUNDBUFFER soundBuffer_ = nullptr;
    LPDIRECTSOUNDNOTIFY notify_ = nullptr;
    WAVEFORMATEX* waveFormat_ = nullptr;  // in the low 4 GiB: its address goes into a 32-bit field
    DSBUFFERDESC bufferDesc_{};
    EventHandle firstHalfEvent_;
    EventHandle secondHalfEvent_;
    DSBPOSITIONNOTIFY notifyPositions_[2]{};
    bool stalled_ = false;
    // What each half of the buffer holds: new sound (fresh) that the cursor
    // has or has not yet been in, or silence.
    struct HalfState {
        bool fresh = false;
        bool entered = false;
        bool silent = true;
    };
    HalfState halves_[2];
    std::optional<std::chrono::steady_clock::time_point> lastWrite_;  // of new sound
    // The lock regions, handed back to Unlock as Lock returned them.
    LPVOID lockPtr1_ = nullptr;
    DWORD lockBytes1_ = 0;
    LPVOID lockPtr2_ = nullptr;
    DWORD lockBytes2_ = 0;
};

}  // namespace rilvane
