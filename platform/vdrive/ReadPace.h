// How fast a virtual drive reads: the top speed, the speed it was set to,
// and the time a read from the disc takes at that speed.
#pragma once

#include <cstdint>

namespace rilvane::vdrive {

class ReadPace {
public:
    // timedTopSpeed 0: reads take no time, and the drive names the default
    // top speed in its capabilities page.
    explicit ReadPace(uint32_t timedTopSpeed);

    uint32_t top() const { return top_; }
    uint32_t current() const { return current_; }

    // SET CD SPEED: the read speed asked for in kB/s (0xFFFF: as fast as the
    // drive can); the drive takes the nearest whole speed from 1x up to its
    // top speed. Returns the speed granted.
    uint32_t request(uint32_t kilobytesPerSecond);

    // The speed in kB/s as the capabilities page gives it (1x = 176.4 kB/s).
    static uint16_t kilobytesPerSecond(uint32_t speed);

    // Waits the time `sectors` sectors take to come from the disc at the
    // current speed (nothing on an untimed drive).
    void spend(int64_t sectors) const;

private:
    bool timed_;
    uint32_t top_;
    uint32_t current_;
};

}  // namespace rilvane::vdrive
