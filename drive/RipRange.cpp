#include "drive/RipRange.h"

namespace rilvane {

std::optional<RipRange> RipRange::forTrack(const TrackTable& table, int track)
{
    // The end sector is read from slot track + 1, which must still be a slot.
    if (track < 1 || track >= kTrackSlots || table.count < track)
        return std::nullopt;
    return RipRange{table.slot(track), table.slot(track + 1)};
}


}  // namespace rilvane
