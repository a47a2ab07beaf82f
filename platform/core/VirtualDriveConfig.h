// The virtual drives asked for in RILVANE_VIRTUAL_DRIVES.
//
// Entries are separated by ';', each "TARGET=CUE[,DEFECTS]": TARGET is a
// drive letter ("E", "E:") for a pass-through drive, or "aspi:H:T" for ASPI
// host adapter H (0-254), target T (0-15: a program looks for drives at
// targets 0 to 15 only), LUN 0. Blanks around entries and
// empty entries are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rilvane::platform {

struct VirtualDriveEntry {
    bool aspi = false;
    char letter = 0;        // 'A' to 'Z' when !aspi
    uint8_t adapter = 0;    // when aspi
    uint8_t target = 0;     // when aspi
    std::string cuePath;
    std::string defectsPath;  // empty: an undamaged disc
    std::string text;         // the entry as written, for messages
};

// Parses the whole variable. Bad entries are left out, each with one line
// in errors naming the entry and what is wrong with it.
std::vector<VirtualDriveEntry> parseVirtualDrives(std::string_view setting, std::vector<std::string>& errors);

}  // namespace rilvane::platform
