// The drives that discovery found, and how they are addressed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace rilvane {

// A short string of at most 16 characters: a length byte and the characters,
// taken byte for byte from the drive (trailing blanks and odd bytes stay).
struct DriveName {
    uint8_t length = 0;
    char chars[16] = {};

    void assign(const char* bytes, size_t count);
    void assign(const std::string& text) { assign(text.data(), text.size()); }
    std::string str() const { return std::string(chars, length); }
};

struct DriveRecord {
    char letter = 0;         // 'A'..'Z', pass-through mode only
    uint8_t adapterId = 0;   // ASPI mode only
    uint8_t targetId = 0;    // ASPI mode only, 0..15
    uint8_t lun = 0;         // always 0
    DriveName name;
};

constexpr int kDriveTableSize = 32;

struct DriveTable {
    std::array<DriveRecord, kDriveTableSize> records{};
    int32_t count = 0;
};

// Non-zero (true) means pass-through by drive letter (SPTI); zero means ASPI.
enum class TransportMode : int { Aspi = 0, Spti = 1 };

}  // namespace rilvane
