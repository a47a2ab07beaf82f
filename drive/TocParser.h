// Turns a READ TOC answer (format 0, addresses as sector numbers) into the
// track table, filling slots by position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drive/TrackTable.h"

namespace rilvane {

// Parses the first `received` bytes of a READ TOC response into `table`:
// slot 1.. get the descriptors' start addresses in the order listed, the
// count becomes the number of tracks and slot count + 1 the lead-out.
// Never reads past `received` bytes and never writes past slot 256, however
// the answer is formed. Returns the new count.
int32_t parseToc(const uint8_t* response, size_t received, TrackTable& table);

// One descriptor of the answer as the disc gives it: the track number (0xAA
// for the lead-out), the control field (low nibble of ADR/control: 0x4 data
// track, 0x1 pre-emphasis, 0x2 digital copy permitted) and the start sector.
struct TocEntry {
    int number = 0;
    uint8_t control = 0;
    int32_t start = 0;
};

// The descriptors that parseToc takes into the table, in the same order and
// under the same rules, with their numbers and control fields.
std::vector<TocEntry> parseTocEntries(const uint8_t* response, size_t received);

}  // namespace rilvane
