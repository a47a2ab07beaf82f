// The drive's read speed: what its capabilities page names as top and
// current speed, and asking it for another one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "drive/BlockReader.h"

namespace rilvane::rescue {

struct DriveSpeeds {
    uint16_t topKilobytes = 0;      // kB/s
    uint16_t currentKilobytes = 0;  // kB/s
};

// The speeds from MODE SENSE of page 2Ah; nullopt where the page is missing.
std::optional<DriveSpeeds> readDriveSpeeds(BlockReader& reader);

// SET CD SPEED to `kilobytesPerSecond` (0xFFFF: as fast as it can), then the
// speed the drive names as current; nullopt when the drive refused.
std::optional<uint16_t> setDriveSpeed(BlockReader& reader, uint16_t kilobytesPerSecond);

// kB/s for a speed in multiples of 1x (176.4 kB/s), and back, as "8×".
uint16_t kilobytesFor(int speed);
std::string speedText(uint16_t kilobytesPerSecond);

}  // namespace rilvane::rescue
