// The PCM sink of the product: ALSA's "default" playback device, 16-bit
// stereo at 44100 Hz, interleaved read/write access, opened non-blocking so
// that a write can wait on the device and on an interrupt at once.
//
// The stream runs only while audio is written: it is prepared by the first
// write after an idle spell and dropped (without being prepared again) when
// the feeder discards it, so a sound server in front of the device sees no
// playing stream while nothing plays.
#pragma once

#include "PcmSink.h"

#include <memory>
#include <vector>

struct _snd_pcm;
struct pollfd;

namespace rilvane::dsound {

class AlsaSink final : public PcmSink {
public:
    // The default playback device, set up and left idle; null when it cannot
    // be opened or does not take the format.
    static std::shared_ptr<AlsaSink> openDefault();

    ~AlsaSink() override;
    AlsaSink(const AlsaSink&) = delete;
    AlsaSink& operator=(const AlsaSink&) = delete;

    size_t periodFrames() const override;
    long write(const int16_t* frames, size_t count) override;
    void discard() override;
    void interrupt() override;
    void release() override;
    bool reopen() override;

private:
    enum class Wait { Ready, Interrupted, Failed };

    AlsaSink(_snd_pcm* pcm, int wakeFd, size_t periodFrames);
    Wait waitWritable();

    _snd_pcm* pcm_;  // null once released
    int wakeFd_;
    size_t periodFrames_;
    std::vector<pollfd> fds_;
};

}  // namespace rilvane::dsound
