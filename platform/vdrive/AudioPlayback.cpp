#include "AudioPlayback.h"

#include "CueSheet.h"

#include <algorithm>

namespace rilvane::vdrive {

namespace {

int64_t framesSince(AudioPlayback::Clock::time_point from, AudioPlayback::Clock::time_point now)
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - from).count();
    return std::max<int64_t>(0, elapsed) * kFramesPerSecond / 1000;
}

}  // namespace

void AudioPlayback::play(int64_t first, int64_t end, Clock::time_point now)
{
    state_ = State::Playing;
    first_ = first;
    end_ = end;
    started_ = now;
    completedUnreported_ = false;
}

bool AudioPlayback::finished(Clock::time_point now) const
{
    return state_ == State::Playing && first_ + framesSince(started_, now) >= end_;
}

bool AudioPlayback::pause(Clock::time_point now)
{
    if (state_ == State::Paused)
        return true;
    if (state_ != State::Playing || finished(now))
        return false;
    pausedAt_ = position(now);
    state_ = State::Paused;
    return true;
}

bool AudioPlayback::resume(Clock::time_point now)
{
    if (state_ == State::Playing)
        return true;
    if (state_ != State::Paused)
        return false;
    // Go on from where it stopped: as if the play had started that much later.
    state_ = State::Playing;
    started_ = now - std::chrono::milliseconds((pausedAt_ - first_) * 1000 / kFramesPerSecond);
    return true;
}

void AudioPlayback::stop(Clock::time_point now)
{
    head_ = position(now);
    state_ = State::Idle;
    completedUnreported_ = false;
}

void AudioPlayback::moveTo(int64_t sector)
{
    head_ = sector;
    state_ = State::Idle;
    completedUnreported_ = false;
}

int64_t AudioPlayback::position(Clock::time_point now) const
{
    switch (state_) {
    case State::Playing:
        // The last sector played is where the head stays once the play ends.
        return std::min(first_ + framesSince(started_, now), end_ - 1);
    case State::Paused:
        return pausedAt_;
    case State::Idle:
        break;
    }
    return head_;
}

AudioPlayback::Status AudioPlayback::takeStatus(Clock::time_point now)
{
    if (finished(now)) {
        head_ = end_ - 1;
        state_ = State::Idle;
        completedUnreported_ = true;
    }
    switch (state_) {
    case State::Playing:
        return Status::Playing;
    case State::Paused:
        return Status::Paused;
    case State::Idle:
        break;
    }
    if (completedUnreported_) {
        completedUnreported_ = false;
        return Status::Completed;
    }
    return Status::None;
}

}  // namespace rilvane::vdrive
