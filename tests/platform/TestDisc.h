// Writes a small audio disc image (CUE + BIN) and, when asked, a defect map.
// Byte i of sector s holds discByte(s, i), so any read can be checked.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace rilvane::platform::test {

constexpr int sectorBytes = 2352;

inline uint8_t discByte(int sector, int offset)
{
    return static_cast<uint8_t>(sector * 7 + offset * 13 + (offset >> 8));
}

struct TestDisc {
    std::string cuePath;
    std::string defectsPath;
};

// Two audio tracks: sectors [0, split) and [split, sectors).
inline TestDisc writeTestDisc(const std::string& folder, const std::string& name, int sectors, int split,
                              const std::string& defects = {})
{
    TestDisc disc;
    {
        std::ofstream bin(folder + "/" + name + ".bin", std::ios::binary);
        std::vector<char> sector(sectorBytes);
        for (int s = 0; s < sectors; ++s) {
            for (int i = 0; i < sectorBytes; ++i) sector[static_cast<std::size_t>(i)] = static_cast<char>(discByte(s, i));
            bin.write(sector.data(), sectorBytes);
        }
    }
    const auto msf = [](int sector) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", sector / 75 / 60, sector / 75 % 60, sector % 75);
        return std::string(text);
    };
    disc.cuePath = folder + "/" + name + ".cue";
    std::ofstream cue(disc.cuePath);
    cue << "FILE \"" << name << ".bin\" BINARY\n"
        << "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        << "  TRACK 02 AUDIO\n    INDEX 01 " << msf(split) << "\n";
    if (!defects.empty()) {
        disc.defectsPath = folder + "/" + name + ".defects";
        std::ofstream(disc.defectsPath) << defects;
    }
    return disc;
}

}  // namespace rilvane::platform::test
