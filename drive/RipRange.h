// Which sectors a rip of one track covers, taken from the track table.
#pragma once

#include <cstdint>
#include <optional>

#include "drive/TrackTable.h"

namespace rilvane {

struct RipRange {
    int32_t firstSector = 0;  // the track's start
    int32_t endSector = 0;    // the first sector not ripped: next track or lead-out

    // The range of track number `track` (1 = the first track the table of
    // contents lists). Empty when the table has fewer tracks than that, or
    // the number is outside the table's slots: the rip is then refused.
    static std::optional<RipRange> forTrack(const TrackTable& table, int track);
};

}  // namespace rilvane
