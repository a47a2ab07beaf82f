// The caption under the position field: which track a sector lies in and how
// far into that track it is, "Track no. 2 Time 00:01:00 s".
#pragma once

#include <cstdint>
#include <string>

#include "drive/TrackTable.h"

namespace rilvane {

constexpr int32_t kSectorsPerSecond = 75;

// The track is the last one whose start is at or before `position`, or track
// 1 when the position lies before track 1; the time counts whole seconds from
// that track's start. A position at or past the lead-out shows track 1
// counted from sector 0. A position before the start of the track found
// (before track 1, or negative) shows 00:00:00.
std::string positionLabel(int32_t position, const TrackTable& table);

}  // namespace rilvane
