// A sense key with its additional sense code and qualifier.
#pragma once

#include <cstdint>

namespace rilvane::vdrive {

struct SenseCode {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;

    friend bool operator==(const SenseCode&, const SenseCode&) = default;
};

// The answers the drive gives most often.
inline constexpr SenseCode kInvalidOpcode{0x05, 0x20, 0x00};
inline constexpr SenseCode kLbaOutOfRange{0x05, 0x21, 0x00};
inline constexpr SenseCode kInvalidFieldInCdb{0x05, 0x24, 0x00};
inline constexpr SenseCode kIllegalModeForTrack{0x05, 0x64, 0x00};
inline constexpr SenseCode kUnrecoveredReadError{0x03, 0x11, 0x00};
inline constexpr SenseCode kMediumNotPresent{0x02, 0x3A, 0x00};
inline constexpr SenseCode kMediumMayHaveChanged{0x06, 0x28, 0x00};
inline constexpr SenseCode kLogicalUnitFailure{0x04, 0x3E, 0x01};
inline constexpr SenseCode kCommandSequenceError{0x05, 0x2C, 0x00};
inline constexpr SenseCode kMediumRemovalPrevented{0x05, 0x53, 0x02};
inline constexpr SenseCode kNoSense{0x00, 0x00, 0x00};

}  // namespace rilvane::vdrive
