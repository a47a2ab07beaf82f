// The PCM sink of the product: ALSA's "default" playback device, 16-bit
// stereo at 44100 Hz, interleaved read/write access, opened non-blocking so
// that a write can wait on the device and on an interrupt at once.
#pragma once

#include "PcmSink.h"

#include <memory>
#include <vector>

struct _snd_pcm;
struct pollfd;

namespace rilvane::dsound {

class AlsaSink final : public PcmSink {
public:
    // The default playback device, set up; null when it cannot be opened or
    // does not take the format.
    static std::shared_ptr<AlsaSink> openDefault();

    ~AlsaSink() override;
    AlsaSink(const AlsaSink&) = delete;
    AlsaSink& operator=(const AlsaSink&) = delete;

    size_t periodFrames() const override;
    long write(const int16_t* frames, size_t count) override;
    void discard() override;
    void interrupt() override;

private:
    enum class Wait { Ready, Interrupted, Failed };

    AlsaSink(_snd_pcm* pcm, int wakeFd, size_t periodFrames);
    Wait waitWritable();

    _snd_pcm* pcm_;
    int wakeFd_;
    size_t periodFrames_;
    std::vector<pollfd> fds_;
};

}  // namespace rilvane::dsound
