#include "AlsaSink.h"

#include <alsa/asoundlib.h>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
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

// The first failing step of a set-up: the ALSA call and its error code.
struct Failure {
    const char* call = nullptr;
    int error = 0;
};

bool failed(int result, const char* call, Failure& failure)
{
    if (result >= 0) return false;
    failure = {call, result};
    return true;
}

bool configure(snd_pcm_t* pcm, snd_pcm_uframes_t& period, Failure& failure)
{
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if (failed(snd_pcm_hw_params_any(pcm, hw), "snd_pcm_hw_params_any", failure)) return false;
    if (failed(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), "snd_pcm_hw_params_set_access",
               failure))
        return false;
    if (failed(snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE), "snd_pcm_hw_params_set_format", failure))
        return false;
    if (failed(snd_pcm_hw_params_set_channels(pcm, hw, SinkChannels), "snd_pcm_hw_params_set_channels", failure))
        return false;
    if (failed(snd_pcm_hw_params_set_rate_resample(pcm, hw, 1), "snd_pcm_hw_params_set_rate_resample", failure))
        return false;
    if (failed(snd_pcm_hw_params_set_rate(pcm, hw, SinkRate, 0), "snd_pcm_hw_params_set_rate", failure)) return false;
    period = WantedPeriodFrames;
    int dir = 0;
    if (failed(snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir), "snd_pcm_hw_params_set_period_size_near",
               failure))
        return false;
    snd_pcm_uframes_t bufferFrames = period * WantedPeriods;
    if (failed(snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &bufferFrames), "snd_pcm_hw_params_set_buffer_size_near",
               failure))
        return false;
    if (failed(snd_pcm_hw_params(pcm, hw), "snd_pcm_hw_params", failure)) return false;
    if (failed(snd_pcm_hw_params_get_period_size(hw, &period, &dir), "snd_pcm_hw_params_get_period_size", failure))
        return false;
    if (period == 0) return !failed(-EINVAL, "snd_pcm_hw_params_get_period_size", failure);
    if (failed(snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames), "snd_pcm_hw_params_get_buffer_size", failure))
        return false;

    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    if (failed(snd_pcm_sw_params_current(pcm, sw), "snd_pcm_sw_params_current", failure)) return false;
    // Start once the device's buffer is full, wake once a period is free.
    if (failed(snd_pcm_sw_params_set_start_threshold(pcm, sw, bufferFrames), "snd_pcm_sw_params_set_start_threshold",
               failure))
        return false;
    if (failed(snd_pcm_sw_params_set_avail_min(pcm, sw, period), "snd_pcm_sw_params_set_avail_min", failure))
        return false;
    return !failed(snd_pcm_sw_params(pcm, sw), "snd_pcm_sw_params", failure);
}

// ALSA's library reports the cause of a failed open (a missing card, a
// plugin that is not installed) through its error handler, which prints to
// standard error. While a check runs, the messages of the checking thread
// are collected instead, so that they can be shown where the user looks.
thread_local std::vector<std::string>* tCollected = nullptr;

void collectMessage(const char* file, int line, const char* function, int error, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string message = text;
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
    if (error != 0) message += std::string(": ") + snd_strerror(error);
    if (tCollected) {
        tCollected->push_back(message);
    } else {
        std::fprintf(stderr, "ALSA lib %s:%i:(%s) %s\n", file, line, function, message.c_str());
    }
}

class CollectedMessages {
public:
    CollectedMessages()
    {
        tCollected = &messages_;
        snd_lib_error_set_handler(&collectMessage);
    }
    ~CollectedMessages()
    {
        snd_lib_error_set_handler(nullptr);
        tCollected = nullptr;
    }
    CollectedMessages(const CollectedMessages&) = delete;
    CollectedMessages& operator=(const CollectedMessages&) = delete;

    // The first messages, which name the cause; later ones repeat it from
    // further up the configuration's evaluation.
    std::string summary() const
    {
        std::string text;
        for (size_t i = 0; i < messages_.size() && i < 2; ++i) text += (i ? "; " : "") + messages_[i];
        return text;
    }

private:
    std::vector<std::string> messages_;
};

// The default device, configured and idle (dropped, not prepared: a
// prepared stream already counts as playing for some sound servers); null
// when it fails, with what went wrong in problem when it is asked for.
snd_pcm_t* openIdle(snd_pcm_uframes_t& period, std::string* problem)
{
    std::optional<CollectedMessages> messages;
    if (problem) messages.emplace();
    snd_pcm_t* pcm = nullptr;
    const int opened = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (opened < 0) {
        if (problem) {
            *problem = std::string("cannot open the playback device \"default\": ") + snd_strerror(opened);
            const std::string said = messages->summary();
            if (!said.empty()) *problem += " (" + said + ")";
        }
        return nullptr;
    }
    Failure failure;
    if (!configure(pcm, period, failure) || failed(snd_pcm_drop(pcm), "snd_pcm_drop", failure)) {
        if (problem) {
            *problem = std::string("the playback device \"default\" does not take 16-bit stereo at 44100 Hz (") +
                       failure.call + ": " + snd_strerror(failure.error) + ")";
        }
        snd_pcm_close(pcm);
        return nullptr;
    }
    return pcm;
}

// A device that writes into a file or a command is held open while idle.
bool isFileDevice(snd_pcm_t* pcm)
{
    return snd_pcm_type(pcm) == SND_PCM_TYPE_FILE;
}

}  // namespace

std::shared_ptr<AlsaSink> AlsaSink::openDefault(std::string& problem)
{
    problem.clear();
    snd_pcm_uframes_t period = 0;
    snd_pcm_t* pcm = openIdle(period, &problem);
    if (!pcm) return nullptr;
    if (!isFileDevice(pcm)) {
        snd_pcm_close(pcm);
        pcm = nullptr;
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        problem = std::string("no event descriptor: ") + std::strerror(errno);
        if (pcm) snd_pcm_close(pcm);
        return nullptr;
    }
    return std::shared_ptr<AlsaSink>(new AlsaSink(pcm, wakeFd, period));
}

AlsaSink::AlsaSink(_snd_pcm* heldPcm, int wakeFd, size_t periodFrames)
    : pcm_(heldPcm), held_(heldPcm != nullptr), wakeFd_(wakeFd), periodFrames_(periodFrames)
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
    // The same check as at the start: a held device stays open, any other
    // is opened again by the next write.
    snd_pcm_uframes_t period = 0;
    pcm_ = openIdle(period, nullptr);
    if (pcm_ && !held_) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
        return true;
    }
    return pcm_ != nullptr;
}

size_t AlsaSink::periodFrames() const
{
    return periodFrames_;
}

long AlsaSink::write(const int16_t* frames, size_t count)
{
    if (!pcm_) {
        // The feeder keeps handing over the period it started with; the
        // device takes any count.
        snd_pcm_uframes_t period = 0;
        pcm_ = openIdle(period, nullptr);
        if (!pcm_) return Lost;
    }
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
    // Closed, or (a held device) dropped and left so; the next write opens
    // or prepares it again.
    if (!pcm_) return;
    if (held_) {
        snd_pcm_drop(pcm_);
        return;
    }
    release();
}

void AlsaSink::interrupt()
{
    const uint64_t one = 1;
    // A full counter already means "interrupt pending"; nothing to report.
    [[maybe_unused]] const ssize_t done = ::write(wakeFd_, &one, sizeof one);
}

}  // namespace rilvane::dsound
