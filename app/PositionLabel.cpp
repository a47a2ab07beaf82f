#include "app/PositionLabel.h"

#include <algorithm>

namespace rilvane {

namespace {

// At least two digits: a single digit gets a leading "0", longer numbers stay.
std::string twoDigits(int64_t value)
{
    std::string text = std::to_string(value);
    if (text.size() == 1)
        text.insert(text.begin(), '0');
    return text;
}

}  // namespace

std::string positionLabel(int32_t position, const TrackTable& table)
{
    int32_t track = 1;
    int64_t trackStart = 0;
    // Slots 1 .. count + 1, the last one the lead-out; never past the table.
    const int lastSlot = std::clamp(table.count + 1, 1, kTrackSlots);
    for (int i = 1; i <= lastSlot; ++i) {
        if (position < table.slot(i)) {
            track = std::max(i - 1, 1);
            trackStart = table.slot(track);
            break;
        }
    }
    // Whole seconds, truncated; a position before the track start is shown as
    // the start itself rather than as a wrapped-round number of hours.
    const int64_t seconds = std::max<int64_t>(0, (int64_t{position} - trackStart) / kSectorsPerSecond);
    const int64_t hours = seconds / 3600;
    const int64_t minutes = (seconds / 60) % 60;
    const int64_t secs = seconds % 60;
    return "Track no. " + std::to_string(track) + " Time " + twoDigits(hours) + ":" + twoDigits(minutes) + ":" +
           twoDigits(secs) + " s";
}

}  // namespace rilvane
