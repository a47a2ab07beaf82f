// Whether the working copy still holds what the map says was read into it.
// A copy cut short (emptied, truncated, a partial copy of the folder) or
// changed in place would otherwise hand out zeros or foreign bytes as good
// audio. Checked before a run trusts an earlier one: by the copy's length,
// and by the sum the map keeps of every stretch's readings.
#pragma once

#include <cstdint>

namespace rilvane::rescue {

class RescueMap;
class WorkingCopy;

struct CopyCheck {
    int32_t beyondEnd = 0;  // readings past the end the copy had
    int32_t changed = 0;    // readings in stretches whose sum did not match
    int32_t unsummed = 0;   // readings in stretches the map has no sum for, in a map with sums
    bool readFailed = false;

    int32_t dropped() const { return beyondEnd + changed + unsummed; }
};

// Sends every reading the copy does not hold as the map says back to
// untried, so that it is read again. `copy` is open; its length before
// opening is what counts.
CopyCheck checkCopy(const WorkingCopy& copy, RescueMap& map);

// Takes the sums of the stretches that changed (in the map or the copy)
// since they were last taken; false when the copy cannot be read back.
bool updateSums(WorkingCopy& copy, RescueMap& map);

}  // namespace rilvane::rescue
