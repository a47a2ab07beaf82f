#include "playback/Navigation.h"

#include <algorithm>
#include <limits>

namespace rilvane {

namespace {

int32_t notBeforeTrackOne(int32_t sector, const TrackTable& table)
{
    if (sector < 0) sector = 0;
    if (sector < table.slot(1)) sector = table.slot(1);
    return sector;
}

// The table's count, kept inside the slots that exist.
int lastSearchableSlot(const TrackTable& table)
{
    return std::clamp<int32_t>(table.count, 0, kTrackSlots);
}

}  // namespace

int32_t forwardTarget(int32_t current)
{
    const int64_t target = int64_t{current} + kSeekStep;
    return static_cast<int32_t>(std::min<int64_t>(target, std::numeric_limits<int32_t>::max()));
}

int32_t rewindTarget(int32_t current, const TrackTable& table)
{
    const int64_t target = int64_t{current} - kSeekStep;
    const auto clamped = static_cast<int32_t>(std::max<int64_t>(target, std::numeric_limits<int32_t>::min()));
    return notBeforeTrackOne(clamped, table);
}

int32_t lastTrackTarget(int32_t position, int32_t current, const TrackTable& table)
{
    const int64_t back = int64_t{position} - kBackThreshold;
    // Slots 1..count hold track starts and slot count + 1 the lead-out, so
    // searching up to the lead-out lets the last track restart like any other.
    const int last = std::min(lastSearchableSlot(table) + 1, kTrackSlots);
    int32_t target = current;
    for (int i = 1; i <= last; ++i) {
        if (back < table.slot(i)) {
            const int track = std::max(i - 1, 1);
            target = table.slot(track);
            break;
        }
    }
    return notBeforeTrackOne(target, table);
}

int32_t nextTrackTarget(int32_t position, int32_t current, const TrackTable& table)
{
    const int last = lastSearchableSlot(table);
    for (int i = 1; i <= last; ++i) {
        if (position < table.slot(i)) return table.slot(i);
    }
    return current;
}

}  // namespace rilvane
