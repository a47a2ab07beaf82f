// Where Fwd, Rew, Last Track and Next Track move the current sector.
#pragma once

#include <cstdint>

#include "drive/TrackTable.h"

namespace rilvane {

constexpr int32_t kSeekStep = 1500;      // 20 seconds
constexpr int32_t kBackThreshold = 225;  // 3 seconds

// current + 1500, held at the largest sector number instead of wrapping.
int32_t forwardTarget(int32_t current);
// current - 1500, not below 0 nor below the start of track 1.
int32_t rewindTarget(int32_t current, const TrackTable& table);
// From the position p: the start of its track, or of the previous track
// when p is less than 3 seconds past a track start; before track 1 plus
// 3 seconds, track 1. In the last track it restarts that track; past the
// lead-out (and 3 seconds) `current` stays. Never below 0 nor below track 1.
int32_t lastTrackTarget(int32_t position, int32_t current, const TrackTable& table);
// From the position p: the start of the next track; in the last track or
// beyond, `current` stays. A negative position goes to track 1.
int32_t nextTrackTarget(int32_t position, int32_t current, const TrackTable& table);

}  // namespace rilvane
