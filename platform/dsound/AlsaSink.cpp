#include "AlsaSink.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace rilvane::dsound {

namespace {

// The feeder hands over a period per wake-up: about 67 ms, a fifth of half
// the program's sound buffer, so it wakes about fifteen times a second. The
// device holds two periods (133 ms). Both stay well below half of that
// buffer: the buffer's notifications leave whoever refills a half the rest
// of the other half, less one period, before the feeder reads it again, and
// at the start the device takes a whole device buffer at once, which comes
// off that time.
constexpr snd_pcm_uframes_t WantedPeriodFrames = 2940;
constexpr unsigned WantedPeriods = 2;
constexpr int PollMilliseconds = 1000;  // only a back-stop: a healthy device answers each period

bool configure(snd_pcm_t* pcm, snd_pcm_uframes_t& period)
{
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(pcm, hw) < 0) return false;
    if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) return false;
    if (snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0) return false;
    if (snd_pcm_hw_params_set_channels(pcm, hw, SinkChannels) < 0) return false;
    if (snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) < 0) return false;
    if (snd_pcm_hw_params_set_rate(pcm, hw, SinkRate, 0) < 0) return false;
    period = WantedPeriodFrames;
    int dir = 0;
    if (snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir) < 0) return false;
    snd_pcm_uframes_t bufferFrames = period * WantedPeriods;
    if (snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &bufferFrames) < 0) return false;
    if (snd_pcm_hw_params(pcm, hw) < 0) return false;
    if (snd_pcm_hw_params_get_period_size(hw, &period, &dir) < 0 || period == 0) return false;
    if (snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames) < 0) return false;

    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm, sw) < 0) return false;
    // Start once the device's buffer is full, wake once a period is free.
    if (snd_pcm_sw_params_set_start_threshold(pcm, sw, bufferFrames) < 0) return false;
    if (snd_pcm_sw_params_set_avail_min(pcm, sw, period) < 0) return false;
    return snd_pcm_sw_params(pcm, sw) >= 0;
}

// The default device, configured and idle (dropped, not prepared: a
// prepared stream already counts as playing for some sound servers).
snd_pcm_t* openIdle(snd_pcm_uframes_t& period)
{
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return nullptr;
    if (!configure(pcm, period) || snd_pcm_drop(pcm) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return pcm;
}

}  // namespace

std::shared_ptr<AlsaSink> AlsaSink::openDefault()
{
    snd_pcm_uframes_t period = 0;
    snd_pcm_t* pcm = openIdle(period);
    if (!pcm) return nullptr;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return std::shared_ptr<AlsaSink>(new AlsaSink(pcm, wakeFd, period));
}

AlsaSink::AlsaSink(_snd_pcm* pcm, int wakeFd, size_t periodFrames)
    : pcm_(pcm), wakeFd_(wakeFd), periodFrames_(periodFrames)
{
}

AlsaSink::~AlsaSink()
{
    release();
    close(wakeFd_);
}

void AlsaSink::release()
{
    if (!pcm_) return;
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
}

bool AlsaSink::reopen()
{
    release();
    snd_pcm_uframes_t period = 0;
    pcm_ = openIdle(period);
    // The feeder keeps handing over the period it started with; the device
    // takes any count.
    return pcm_ != nullptr;
}

size_t AlsaSink::periodFrames() const
{
    return periodFrames_;
}

long AlsaSink::write(const int16_t* frames, size_t count)
{
    if (!pcm_) return Lost;
    // After an idle spell the stream is set up but not prepared.
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_SETUP && snd_pcm_prepare(pcm_) < 0) return Lost;
    for (;;) {
        const snd_pcm_sframes_t written = snd_pcm_writei(pcm_, frames, count);
        if (written > 0) return static_cast<long>(written);
        if (written == 0 || written == -EAGAIN) {
            switch (waitWritable()) {
            case Wait::Ready: continue;
            case Wait::Interrupted: return 0;
            case Wait::Failed: return Lost;
            }
        }
        // An underrun (-EPIPE in the XRUN state), a suspend (-ESTRPIPE) or a
        // signal (-EINTR): prepare or resume the device and go on. Anything
        // else, or a failed recovery, means the device is gone: a plugin's
        // failed write (the file plugin whose pipe lost its reader reports
        // -EIO; a broken pipe outside an underrun is the same), a
        // disconnected card, a sound server that went away.
        const bool underrun = written == -EPIPE && snd_pcm_state(pcm_) == SND_PCM_STATE_XRUN;
        if (underrun || written == -ESTRPIPE || written == -EINTR) {
            if (snd_pcm_recover(pcm_, static_cast<int>(written), 1) >= 0) continue;
        }
        return Lost;
    }
}

AlsaSink::Wait AlsaSink::waitWritable()
{
    const int count = snd_pcm_poll_descriptors_count(pcm_);
    if (count < 0) return Wait::Failed;
    fds_.resize(static_cast<size_t>(count) + 1);
    const int filled = snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count));
    if (filled < 0) return Wait::Failed;
    pollfd& wake = fds_[static_cast<size_t>(filled)];
    wake.fd = wakeFd_;
    wake.events = POLLIN;
    wake.revents = 0;

    const int ready = poll(fds_.data(), static_cast<nfds_t>(filled) + 1, PollMilliseconds);
    if (ready < 0) return errno == EINTR ? Wait::Ready : Wait::Failed;
    if (wake.revents & POLLIN) {
        uint64_t value = 0;
        while (read(wakeFd_, &value, sizeof value) > 0) {
        }
        return Wait::Interrupted;
    }
    if (ready == 0) {
        // Nothing for a whole second: a disconnected device says so here;
        // any other state is retried (the write reports real errors).
        return snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED ? Wait::Failed : Wait::Ready;
    }
    unsigned short revents = 0;
    if (snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(filled), &revents) < 0)
        return Wait::Failed;
    return Wait::Ready;  // writable, or an error state the next write reports
}

void AlsaSink::discard()
{
    // Dropped and left so; the next write prepares it again.
    if (pcm_) snd_pcm_drop(pcm_);
}

void AlsaSink::interrupt()
{
    const uint64_t one = 1;
    // A full counter already means "interrupt pending"; nothing to report.
    [[maybe_unused]] const ssize_t done = ::write(wakeFd_, &one, sizeof one);
}

}  // namespace rilvane::dsound
