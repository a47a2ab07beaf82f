#include "drive/DriveListEntry.h"

#include <cstdint>

namespace rilvane {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page leaves a gap.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string driveNameText(const DriveName& name)
{
    std::string text;
    for (size_t i = 0; i < name.length && i < sizeof(name.chars); ++i) {
        const auto byte = static_cast<uint8_t>(name.chars[i]);
        char32_t c = byte;
        if (byte < 0x20 || byte == 0x7F)
            c = U' ';
        else if (byte >= 0x80 && byte <= 0x9F)
            c = kWindows1252High[byte - 0x80] != 0 ? kWindows1252High[byte - 0x80] : U'?';
        appendUtf8(text, c);
    }
    return text;
}

std::string driveListEntry(const DriveRecord& drive, TransportMode mode)
{
    if (mode == TransportMode::Aspi)
        return driveNameText(drive.name);
    std::string entry(1, drive.letter);
    entry += ": ";
    entry += driveNameText(drive.name);
    return entry;
}

}  // namespace rilvane
