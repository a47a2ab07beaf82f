#include "drive/RipRange.h"

namespace rilvane {

std::optional<RipRange> RipRange::forTrack(const TrackTable& table, int track)
{
    // The end sector is read from slot track + 1, which must still be a slot.
    if (track < 1 || track >= kTrackSlots || table.count < track)
        return std::nullopt;
    return RipRange{table.slot(track), table.slot(track + 1)};
}

int64_t readBlockCount(int32_t firstSector, int32_t endSector)
{
    constexpr int64_t kSectorsPerBlock = 10;
    const int64_t span = int64_t{endSector} - int64_t{firstSector};
    if (span <= 0)
        return 0;
    return (span + kSectorsPerBlock - 1) / kSectorsPerBlock;
}

}  // namespace rilvane
