// CD-Text as the lead-in carries it and READ TOC format 5 reports it: packs
// of 18 bytes (type, track, sequence number, block and character position,
// 12 bytes of text, CRC), one block in ISO 8859-1, titles, performers and
// songwriters of the disc (track 0) and of each track, closed by the three
// size information packs.
#pragma once

#include "CueSheet.h"

#include <cstdint>
#include <vector>

namespace rilvane::vdrive {

inline constexpr int kCdTextPackBytes = 18;
// A block holds at most 256 packs (the sequence number is one byte).
inline constexpr int kMaxCdTextPacks = 256;

// The packs of the sheet's CD-Text, one after another; empty when the sheet
// has none.
std::vector<uint8_t> cdTextPacks(const CueSheet& sheet);

// How many packs the sheet's CD-Text takes (0 when it has none).
int cdTextPackCount(const CueSheet& sheet);

}  // namespace rilvane::vdrive
