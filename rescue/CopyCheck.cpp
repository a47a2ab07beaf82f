#include "rescue/CopyCheck.h"

#include <algorithm>
#include <vector>

#include "drive/CdAudio.h"
#include "proof/TrackChecksums.h"
#include "rescue/RescueMap.h"
#include "rescue/WorkingCopy.h"

namespace rilvane::rescue {

namespace {

constexpr int32_t kStretch = RescueMap::kSumSectors;

// The sum of the readings of a stretch as the copy holds them; nullopt-like
// false when the copy cannot be read.
bool stretchSum(const WorkingCopy& copy, const RescueMap& map, int32_t stretch, uint32_t& sum, bool& any)
{
    const int32_t first = stretch * kStretch;
    const int32_t end = std::min(first + kStretch, map.sectors());
    std::vector<uint8_t> bytes(static_cast<size_t>(end - first) * cd::kSectorBytes);
    any = false;
    for (int32_t s = first; s < end; ++s) any = any || map.hasReading(s);
    sum = 0;
    if (!any) return true;
    if (!copy.read(first, bytes.data(), end - first)) return false;
    for (int32_t s = first; s < end; ++s)
        if (map.hasReading(s))
            sum = proof::crc32(sum, bytes.data() + size_t(s - first) * cd::kSectorBytes, cd::kSectorBytes);
    return true;
}

}  // namespace

CopyCheck checkCopy(const WorkingCopy& copy, RescueMap& map)
{
    CopyCheck check;
    // What lies past the copy's old end is zeros now, whatever the map says.
    const auto whole = static_cast<int32_t>(std::min<int64_t>(copy.lengthFound() / cd::kSectorBytes, map.sectors()));
    check.beyondEnd = map.dropReadings(whole, map.sectors());
    bool anySum = false;
    for (int32_t i = 0; i < map.sumStretches(); ++i) anySum = anySum || map.sum(i).has_value();
    for (int32_t i = 0; i < map.sumStretches(); ++i) {
        const std::optional<uint32_t> kept = map.sum(i);
        if (!kept && !anySum) continue;  // a map from before the sums: its length check is all there is
        uint32_t sum = 0;
        bool any = false;
        if (!stretchSum(copy, map, i, sum, any)) {
            check.readFailed = true;
            return check;
        }
        if (!any) continue;
        if (kept && *kept == sum) continue;
        const int32_t dropped = map.dropReadings(i * kStretch, (i + 1) * kStretch);
        (kept ? check.changed : check.unsummed) += dropped;
    }
    return check;
}

bool updateSums(WorkingCopy& copy, RescueMap& map)
{
    for (int32_t i = 0; i < map.sumStretches(); ++i) {
        const bool written = copy.takeWritten(i);
        if (!written && !map.sumChanged(i)) continue;
        uint32_t sum = 0;
        bool any = false;
        if (!stretchSum(copy, map, i, sum, any)) return false;
        map.setSum(i, sum);
    }
    return true;
}

}  // namespace rilvane::rescue
