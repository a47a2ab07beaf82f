// Where the drive's head is and whether it plays: PLAY AUDIO moves along the
// disc in real time (75 sectors a second, no sound leaves the drive),
// PAUSE/RESUME and STOP hold it, reads and seeks put the head elsewhere.
// READ SUB-CHANNEL reports what this says.
#pragma once

#include <chrono>
#include <cstdint>

namespace rilvane::vdrive {

class AudioPlayback {
public:
    using Clock = std::chrono::steady_clock;

    // The audio status READ SUB-CHANNEL reports.
    enum class Status : uint8_t {
        Playing = 0x11,
        Paused = 0x12,
        Completed = 0x13,
        None = 0x15,
    };

    // Plays sectors first .. end - 1 (end > first).
    void play(int64_t first, int64_t end, Clock::time_point now);
    // false when nothing plays or is paused (the command sequence is wrong).
    bool pause(Clock::time_point now);
    bool resume(Clock::time_point now);
    void stop(Clock::time_point now);
    // The head moved there for a read or a seek; a play ends.
    void moveTo(int64_t sector);

    int64_t position(Clock::time_point now) const;
    bool playing(Clock::time_point now) const { return state_ == State::Playing && !finished(now); }
    // The status to report; a finished play is reported once as Completed.
    Status takeStatus(Clock::time_point now);

private:
    bool finished(Clock::time_point now) const;

    enum class State { Idle, Playing, Paused };
    State state_ = State::Idle;
    int64_t first_ = 0;
    int64_t end_ = 0;
    int64_t head_ = 0;             // where the head rests when not playing
    int64_t pausedAt_ = 0;
    Clock::time_point started_{};  // when the play reached first_
    bool completedUnreported_ = false;
};

}  // namespace rilvane::vdrive
