// Where a sound device sends its audio: a PCM output that takes 16-bit
// stereo frames at 44100 Hz and paces the caller by its own clock.
//
// The product uses the ALSA sink (AlsaSink); tests use a sink whose clock
// they advance by hand.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rilvane::dsound {

constexpr unsigned SinkRate = 44100;
constexpr unsigned SinkChannels = 2;
constexpr unsigned SinkFrameBytes = 4;  // left then right, signed 16-bit little-endian

class PcmSink {
public:
    // What write() returns when the device is gone for good.
    static constexpr long Lost = -1;

    virtual ~PcmSink() = default;

    // Frames the device takes per wake-up; the feeder hands over this many
    // at a time.
    virtual size_t periodFrames() const = 0;

    // Plays up to count interleaved frames. Blocks until the device has taken
    // at least one frame, interrupt() is called, or the device is lost.
    // Returns the number of frames taken (0 after an interrupt), or Lost.
    // Passing underruns are recovered inside and are not reported.
    // Called from one thread at a time (the feeder).
    virtual long write(const int16_t* frames, size_t count) = 0;

    // Drops what is queued and not yet played and leaves the device idle
    // (not running, so a sound server sees no playing stream); the next
    // write starts a new stream. Called from the feeder thread only.
    virtual void discard() = 0;

    // Makes a blocked write, or the next one, return soon. Safe to call from
    // any thread at any time; it never blocks.
    virtual void interrupt() = 0;

    // After write() reported Lost: lets go of the device, so that whatever
    // held it (a sound server's stream, a pipe's reader) is freed.
    virtual void release() {}

    // After write() reported Lost: opens the device again. True when it takes
    // audio again; the next write starts a new stream.
    virtual bool reopen() { return false; }
};

}  // namespace rilvane::dsound
