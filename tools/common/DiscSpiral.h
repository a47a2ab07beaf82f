// Where a sector lies on the disc: audio CDs are written at constant linear
// velocity along one spiral from the inside out. Each sector takes the same
// length of track and the turns lie a fixed pitch apart, so the area covered
// grows linearly with the sector number and the radius with its square root.
//
// Lengths are in millimetres, angles in radians counter-clockwise as seen
// from the read side, measured from where the program area begins. Sector
// numbers are disc addresses (LBA); the program area begins two seconds
// (150 sectors) before address 0.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace rilvane::tools {

struct DiscSpiral {
    static constexpr double kFirstRadius = 25.0;      // where the program area begins
    static constexpr double kDiscRadius = 60.0;       // the disc's edge
    static constexpr double kHoleRadius = 7.5;
    static constexpr double kPitch = 0.0016;          // 1.6 µm between turns
    static constexpr double kVelocity = 1200.0;       // 1.2 m/s
    static constexpr double kSectorsPerSecond = 75.0;
    static constexpr int64_t kPregap = 150;
    static constexpr double kTwoPi = 2.0 * std::numbers::pi;

    // The area of disc one sector takes (mm²).
    static constexpr double sectorArea() { return kVelocity / kSectorsPerSecond * kPitch; }

    // Radius of the start of sector `lba`.
    static double radius(double lba)
    {
        const double n = std::max(0.0, lba + kPregap);
        return std::sqrt(kFirstRadius * kFirstRadius + n * sectorArea() / std::numbers::pi);
    }

    // Turns of the spiral from the program area's start to the start of `lba`
    // (the whole part counts turns, the rest is the angle).
    static double turns(double lba) { return (radius(lba) - kFirstRadius) / kPitch; }

    // Angle of the start of sector `lba`, 0 <= angle < 2π.
    static double angle(double lba)
    {
        const double t = turns(lba);
        return (t - std::floor(t)) * kTwoPi;
    }

    // The (fractional) sector at `turns` turns along the spiral.
    static double sectorAtTurns(double t)
    {
        const double r = kFirstRadius + t * kPitch;
        return (r * r - kFirstRadius * kFirstRadius) * std::numbers::pi / sectorArea() - kPregap;
    }

    // The sector whose stretch of track crosses `angle` on turn `turn`
    // (counted from 0), as a disc address; may be negative near the start.
    static int64_t sectorAtAngle(int64_t turn, double angle)
    {
        double a = std::fmod(angle, kTwoPi);
        if (a < 0) a += kTwoPi;
        return static_cast<int64_t>(std::floor(sectorAtTurns(static_cast<double>(turn) + a / kTwoPi)));
    }
};

}  // namespace rilvane::tools
