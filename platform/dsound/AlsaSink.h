// The PCM sink of the product: ALSA's "default" playback device, 16-bit
// stereo at 44100 Hz, interleaved read/write access, opened non-blocking so
// that a write can wait on the device and on an interrupt at once.
//
// The device is held only while audio is written: the first write after an
// idle spell opens and sets it up, and discarding the stream closes it. A
// sound server in front of the device therefore sees no stream at all while
// nothing plays (PipeWire counts any opened and configured PCM as a running
// stream). The exception is a device that writes into a file or a command
// (ALSA's file plugin): every open would start a new file or a new command,
// so it is opened once and held, idle, for the life of the sink.
#pragma once

#include "PcmSink.h"

#include <memory>
#include <string>
#include <vector>

struct _snd_pcm;
struct pollfd;

namespace rilvane::dsound {

class AlsaSink final : public PcmSink {
public:
    // Checks that the default playback device opens and takes the format
    // (opening and closing it again, unless it is held); null when it does
    // not, with what ALSA said in `problem` (English, one line).
    static std::shared_ptr<AlsaSink> openDefault(std::string& problem);

    ~AlsaSink() override;
    AlsaSink(const AlsaSink&) = delete;
    AlsaSink& operator=(const AlsaSink&) = delete;

    size_t periodFrames() const override;
    long write(const int16_t* frames, size_t count) override;
    void discard() override;
    void interrupt() override;
    void release() override;
    bool reopen() override;

    // Whether the device is open now (for the tests of the idle state).
    bool isOpen() const { return pcm_ != nullptr; }

private:
    enum class Wait { Ready, Interrupted, Failed };

    AlsaSink(_snd_pcm* heldPcm, int wakeFd, size_t periodFrames);
    Wait waitWritable();

    _snd_pcm* pcm_;  // null while closed
    bool held_;      // a file device: kept open while idle
    int wakeFd_;
    size_t periodFrames_;
    std::vector<pollfd> fds_;
};

}  // namespace rilvane::dsound
