// The sound device and its feeder thread.
//
// Threading protocol
// ------------------
// Parties: any number of caller threads (the program calls from its
// user-interface thread; tests call from several), and one feeder thread per
// device, started by the constructor and joined by the destructor.
//
// 1. One mutex per device (mutex_) guards everything the parties share: the
//    list of buffers, the device's lost and shutdown flags, and every field
//    of every BufferState except its mirror (see 3). No other lock is taken
//    while it is held, except the platform's own lock inside SetEvent, which
//    never calls back into this library, and the signalling lock (see 2d).
//
// 2. The feeder is the only thread that calls PcmSink::write and
//    PcmSink::discard, and it never holds the mutex while doing so. Per
//    round it (a) takes the mutex, copies (mixes) one period of audio from
//    every playing buffer starting at its play cursor (cut short right after
//    the next notification offset, so that it fires without delay), notes
//    each buffer's generation, and lets go; (b) writes the period to the sink, which
//    blocks at the pace of the device; (c) takes the mutex again and, for
//    every buffer whose generation is unchanged, moves the play cursor on by
//    what the sink took and notes every notification event whose offset the
//    cursor passed, the wrap from the last byte to the first included; (d)
//    takes the signalling lock, lets go of the mutex, sets the noted events
//    and lets go of the signalling lock. Setting them with the mutex free
//    means the thread they wake finds it free too, instead of waking only to
//    wait for the feeder again. The
//    play cursor is therefore exactly what has been handed to the device, and
//    an offset counts as passed once the byte at that offset has been handed
//    over: the middle of a 117600-byte buffer (58800) fires when the cursor
//    goes beyond 58800, its last byte (117599) when the cursor wraps to the
//    start, once per lap each.
//    Audio taken for a buffer whose generation changed meanwhile (stopped,
//    restarted, lost, released) is not counted.
//
// 3. Lock hands out a mirror of the locked range, filled from the buffer
//    under the mutex; the caller writes the mirror without any lock, and
//    Unlock copies it back under the mutex. The feeder reads only the
//    buffer, only under the mutex, so it never reads memory a caller may be
//    writing, and a period never holds half of an Unlock. (Two Locks of the
//    same buffer must not overlap, as with any DirectSound buffer.)
//
// 4. Waking waiters. Stop, the final Release of a playing buffer, and the
//    loss of the device first mark the buffer not playing and change its
//    generation, then set every notification event of the buffer, all under
//    the mutex. So a thread that waits on an event, resets it and then asks
//    GetStatus either sees "not playing" (the stop came before its reset) or
//    has its next wait woken (the stop's SetEvent comes after its reset): a
//    waiter that checks the status after each reset is never blocked for
//    ever. Stop then interrupts the sink (PcmSink::interrupt never blocks),
//    so the feeder does not wait for the device before it notices.
//
// 5. Device loss: a sink write that reports Lost makes the feeder mark the
//    device and every buffer lost (GetStatus: DSBSTATUS_BUFFERLOST) and wake
//    their waiters as in 4, and release the sink (PcmSink::release), all
//    under the mutex. The feeder then waits, without touching the sink,
//    until the device is back or the device shuts down. Underruns are
//    recovered inside the sink.
//    A Play, a Lock or a new buffer while the device is lost tries to bring
//    it back: the calling thread reopens the sink (PcmSink::reopen) under the
//    mutex, which is safe because the lost feeder does not use the sink.
//    When that works, the device and its buffers are no longer lost and the
//    feeder goes on; otherwise Play and Lock answer DSERR_BUFFERLOST.
//
// 5a. The feeder blocks SIGPIPE for itself: a sink that writes into a pipe
//    (ALSA's file plugin with a command) whose reader has gone gets EPIPE,
//    which the sink reports as a lost device, and the signal itself is
//    taken from the feeder's pending set, whatever the process does with
//    SIGPIPE. For the same reason the feeder, not the destructor's thread,
//    releases the sink at shutdown.
//
// 6. Once a buffer is removed (final Release), the feeder never touches its
//    events again: its notifications are cleared under the mutex, and then
//    removeBuffer takes and drops the signalling lock, so events the feeder
//    noted before have been set, before it returns; the caller may then
//    close the event handles. (The feeder takes the signalling lock before
//    it lets go of the mutex and never takes the mutex while holding it;
//    nobody else holds both.)
//
// 7. Shutdown: the destructor sets shutdown_ under the mutex, wakes the
//    feeder (condition variable and sink interrupt) and joins it.
//
// The feeder thread is named "dsound-feeder", so that it can be told apart
// from outside (top -H, /proc/PID/task/*/comm).
#include "SoundDevice.h"

#include "BufferState.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <signal.h>

namespace rilvane::dsound {

namespace {

// Whether the bytes [from, from + length) of a ring of `size` bytes hold the
// byte at `offset`.
bool passes(DWORD offset, DWORD from, DWORD length, DWORD size)
{
    if (length >= size) return true;
    const DWORD distance = offset >= from ? offset - from : offset + (size - from);
    return distance < length;
}

void setAllEvents(const BufferState& buffer)
{
    for (const DSBPOSITIONNOTIFY& n : buffer.notifications) SetEvent(n.hEventNotify);
}

// Copies `bytes` bytes of the buffer's audio, starting at its play cursor,
// into out; a looping buffer wraps, a one-shot buffer ends in silence.
void copyFromCursor(const BufferState& buffer, size_t bytes, uint8_t* out)
{
    const size_t size = buffer.audio.size();
    size_t at = buffer.cursor;
    while (bytes > 0) {
        const size_t n = std::min(bytes, size - at);
        std::memcpy(out, buffer.audio.data() + at, n);
        out += n;
        bytes -= n;
        at += n;
        if (at == size) {
            if (!buffer.looping) {
                std::memset(out, 0, bytes);
                return;
            }
            at = 0;
        }
    }
}

// Takes a SIGPIPE that a write of this thread raised (blocked here, so it
// waits in the thread's pending set) without acting on it.
void takePendingSigpipe()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec now{};
    while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
    }
}

}  // namespace

SoundDevice::SoundDevice(std::shared_ptr<PcmSink> sink)
    : sink_(std::move(sink)), feeder_([this] { feed(); })
{
}

SoundDevice::~SoundDevice()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutdown_ = true;
    }
    wake_.notify_all();
    sink_->interrupt();
    feeder_.join();
}

std::shared_ptr<BufferState> SoundDevice::addBuffer(DWORD bytes)
{
    auto buffer = std::make_shared<BufferState>(bytes);
    std::lock_guard<std::mutex> lock(mutex_);
    if (lost_ && !restore()) return nullptr;
    buffers_.push_back(buffer);
    return buffer;
}

void SoundDevice::removeBuffer(const std::shared_ptr<BufferState>& buffer)
{
    bool wasPlaying = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasPlaying = buffer->playing;
        if (wasPlaying) {
            halt(*buffer);
            setAllEvents(*buffer);
        }
        buffer->notifications.clear();
        buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
    }
    { std::lock_guard<std::mutex> settled(signalling_); }
    if (wasPlaying) sink_->interrupt();
}

HRESULT SoundDevice::play(BufferState& buffer, bool looping)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (buffer.lost && !restore()) return DSERR_BUFFERLOST;
        buffer.looping = looping;
        if (buffer.playing) return DS_OK;
        buffer.playing = true;
        ++buffer.generation;
    }
    wake_.notify_all();
    return DS_OK;
}

HRESULT SoundDevice::stop(BufferState& buffer)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (buffer.playing) halt(buffer);
        // Even a buffer that is already stopped wakes its waiters: after Stop
        // returns, every event of the buffer has been set since it was called.
        setAllEvents(buffer);
    }
    sink_->interrupt();
    return DS_OK;
}

DWORD SoundDevice::status(BufferState& buffer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer.lost) return DSBSTATUS_BUFFERLOST;
    if (!buffer.playing) return 0;
    return DSBSTATUS_PLAYING | (buffer.looping ? DSBSTATUS_LOOPING : 0);
}

HRESULT SoundDevice::position(BufferState& buffer, DWORD* playCursor, DWORD* writeCursor)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const DWORD size = static_cast<DWORD>(buffer.audio.size());
    if (playCursor) *playCursor = buffer.cursor;
    if (writeCursor) *writeCursor = static_cast<DWORD>((uint64_t{buffer.cursor} + buffer.inFlight % size) % size);
    return DS_OK;
}

HRESULT SoundDevice::lock(BufferState& buffer, DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1,
                          LPVOID* audioPtr2, DWORD* audioBytes2, DWORD flags)
{
    if (audioPtr1) *audioPtr1 = nullptr;
    if (audioBytes1) *audioBytes1 = 0;
    if (audioPtr2) *audioPtr2 = nullptr;
    if (audioBytes2) *audioBytes2 = 0;
    if (!audioPtr1 || !audioBytes1) return DSERR_INVALIDPARAM;

    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer.lost && !restore()) return DSERR_BUFFERLOST;
    const DWORD size = static_cast<DWORD>(buffer.audio.size());
    if (flags & DSBLOCK_FROMWRITECURSOR)
        offset = static_cast<DWORD>((uint64_t{buffer.cursor} + buffer.inFlight % size) % size);
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;

    const DWORD first = std::min(bytes, size - offset);
    const DWORD second = bytes - first;
    if (second > 0 && (!audioPtr2 || !audioBytes2)) return DSERR_INVALIDPARAM;

    std::memcpy(buffer.mirror.data() + offset, buffer.audio.data() + offset, first);
    std::memcpy(buffer.mirror.data(), buffer.audio.data(), second);
    *audioPtr1 = buffer.mirror.data() + offset;
    *audioBytes1 = first;
    if (second > 0) {
        *audioPtr2 = buffer.mirror.data();
        *audioBytes2 = second;
    }
    return DS_OK;
}

HRESULT SoundDevice::unlock(BufferState& buffer, LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2,
                            DWORD audioBytes2)
{
    // The mirror's address and size never change, so they can be checked
    // before taking the mutex.
    const uintptr_t base = reinterpret_cast<uintptr_t>(buffer.mirror.data());
    const size_t size = buffer.mirror.size();
    size_t at1 = 0;
    size_t at2 = 0;
    auto region = [&](LPVOID pointer, DWORD bytes, size_t& at) {
        if (!pointer) return bytes == 0;
        const uintptr_t p = reinterpret_cast<uintptr_t>(pointer);
        if (p < base || p - base > size) return false;
        at = p - base;
        return bytes <= size - at;
    };
    if (!region(audioPtr1, audioBytes1, at1) || !region(audioPtr2, audioBytes2, at2)) return DSERR_INVALIDPARAM;

    std::lock_guard<std::mutex> lock(mutex_);
    if (audioBytes1) std::memcpy(buffer.audio.data() + at1, buffer.mirror.data() + at1, audioBytes1);
    if (audioBytes2) std::memcpy(buffer.audio.data() + at2, buffer.mirror.data() + at2, audioBytes2);
    return DS_OK;
}

HRESULT SoundDevice::setNotifications(BufferState& buffer, DWORD count, const DSBPOSITIONNOTIFY* positions)
{
    if (count > MaxNotifications || (count > 0 && !positions)) return DSERR_INVALIDPARAM;
    std::lock_guard<std::mutex> lock(mutex_);
    if (buffer.playing) return DSERR_INVALIDCALL;
    const DWORD size = static_cast<DWORD>(buffer.audio.size());
    for (DWORD i = 0; i < count; ++i) {
        if (!positions[i].hEventNotify) return DSERR_INVALIDPARAM;
        if (positions[i].dwOffset >= size && positions[i].dwOffset != NotifyOnStop) return DSERR_INVALIDPARAM;
    }
    buffer.notifications.assign(positions, positions + count);
    return DS_OK;
}

bool SoundDevice::lost()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lost_;
}

// --- under the mutex ---------------------------------------------------------

bool SoundDevice::anyPlaying() const
{
    return std::any_of(buffers_.begin(), buffers_.end(), [](const auto& b) { return b->playing; });
}

// Marks a buffer stopped; whatever the feeder has in flight for it is void.
void SoundDevice::halt(BufferState& buffer)
{
    buffer.playing = false;
    buffer.inFlight = 0;
    ++buffer.generation;
}

// How many frames to hand over next: a period, or fewer so that the period
// ends right after the next notification offset of a playing buffer. A
// notification then fires as soon as its byte is handed over, not up to a
// period later, and whoever waits on it has the rest of the half it refills
// before the feeder reads that half again, whatever the period.
size_t SoundDevice::framesUpToNextNotification(size_t period) const
{
    size_t frames = period;
    for (const auto& buffer : buffers_) {
        if (!buffer->playing) continue;
        const DWORD size = static_cast<DWORD>(buffer->audio.size());
        for (const DSBPOSITIONNOTIFY& n : buffer->notifications) {
            if (n.dwOffset == NotifyOnStop) continue;
            const DWORD distance = n.dwOffset >= buffer->cursor ? n.dwOffset - buffer->cursor
                                                                 : n.dwOffset + (size - buffer->cursor);
            frames = std::min<size_t>(frames, distance / SinkFrameBytes + 1);
        }
    }
    return frames;
}

// Mixes `frames` frames of every playing buffer into out. One buffer is
// copied as it is; several are summed and clipped to 16 bits.
size_t SoundDevice::mix(size_t frames, int16_t* out)
{
    const size_t bytes = frames * SinkFrameBytes;
    const size_t samples = frames * SinkChannels;
    size_t count = 0;
    for (const auto& buffer : buffers_) {
        if (!buffer->playing) continue;
        buffer->inFlight = static_cast<DWORD>(bytes);
        if (count == 0) {
            copyFromCursor(*buffer, bytes, reinterpret_cast<uint8_t*>(out));
        } else {
            if (count == 1) {
                sum_.resize(samples);
                for (size_t i = 0; i < samples; ++i) sum_[i] = out[i];
            }
            scratch_.resize(samples);
            copyFromCursor(*buffer, bytes, reinterpret_cast<uint8_t*>(scratch_.data()));
            for (size_t i = 0; i < samples; ++i) sum_[i] += scratch_[i];
        }
        ++count;
    }
    if (count > 1) {
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>(std::clamp(sum_[i], -32768, 32767));
    }
    return count;
}

// Moves the play cursor on by what the device took and notes the events of
// every offset passed for the feeder to set. A one-shot buffer that reaches
// its end stops there and starts again from 0 when played next.
void SoundDevice::advance(BufferState& buffer, DWORD bytes)
{
    const DWORD size = static_cast<DWORD>(buffer.audio.size());
    const DWORD from = buffer.cursor;
    bool ended = false;
    if (!buffer.looping && bytes >= size - from) {
        bytes = size - from;
        ended = true;
    }
    for (const DSBPOSITIONNOTIFY& n : buffer.notifications) {
        if (n.dwOffset != NotifyOnStop && passes(n.dwOffset, from, bytes, size)) passed_.push_back(n.hEventNotify);
    }
    buffer.cursor = static_cast<DWORD>((uint64_t{from} + bytes) % size);
    if (ended) {
        halt(buffer);
        buffer.cursor = 0;
        setAllEvents(buffer);
    }
}

void SoundDevice::loseDevice()
{
    lost_ = true;
    for (const auto& buffer : buffers_) {
        halt(*buffer);
        buffer->lost = true;
        setAllEvents(*buffer);
    }
    sink_->release();
}

// Reopens the sink of a lost device (the feeder leaves it alone meanwhile);
// true when the device plays again.
bool SoundDevice::restore()
{
    if (!lost_) return true;
    if (!sink_->reopen()) return false;
    lost_ = false;
    for (const auto& buffer : buffers_) buffer->lost = false;
    wake_.notify_all();
    return true;
}

// --- the feeder thread ---------------------------------------------------------

void SoundDevice::feed()
{
    pthread_setname_np(pthread_self(), "dsound-feeder");
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    const size_t period = std::max<size_t>(1, sink_->periodFrames());
    std::vector<int16_t> chunk(period * SinkChannels);
    struct Fed {
        std::shared_ptr<BufferState> buffer;
        uint64_t generation;
    };
    std::vector<Fed> fed;
    std::vector<HANDLE> firing;
    bool streaming = false;  // the sink was written to since the last discard

    std::unique_lock<std::mutex> lock(mutex_);
    while (!shutdown_) {
        if (lost_ || !anyPlaying()) {
            if (lost_) streaming = false;  // a device that comes back starts a new stream
            if (streaming) {
                streaming = false;
                lock.unlock();
                sink_->discard();
                takePendingSigpipe();
                lock.lock();
                continue;
            }
            wake_.wait(lock);
            continue;
        }

        const size_t frames = framesUpToNextNotification(period);
        mix(frames, chunk.data());
        for (const auto& buffer : buffers_) {
            if (buffer->playing) fed.push_back({buffer, buffer->generation});
        }

        lock.unlock();
        const long taken = sink_->write(chunk.data(), frames);
        lock.lock();

        for (const Fed& f : fed) {
            if (f.buffer->generation != f.generation) continue;
            f.buffer->inFlight = 0;
            if (taken > 0) advance(*f.buffer, static_cast<DWORD>(static_cast<size_t>(taken) * SinkFrameBytes));
        }
        fed.clear();
        if (!passed_.empty()) {
            firing.swap(passed_);
            std::unique_lock<std::mutex> signalling(signalling_);
            lock.unlock();
            for (HANDLE event : firing) SetEvent(event);
            firing.clear();
            signalling.unlock();
            lock.lock();
        }
        if (taken == PcmSink::Lost) {
            loseDevice();
            takePendingSigpipe();
        } else {
            // The sink may hold the device even when nothing was taken (a
            // write interrupted at once): it is discarded once idle.
            streaming = true;
        }
    }
    lock.unlock();
    // Closing the device may still write what it holds: here, where a
    // broken pipe cannot end the process.
    sink_->release();
    takePendingSigpipe();
}

}  // namespace rilvane::dsound
