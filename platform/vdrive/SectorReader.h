// The disc as the drive's read path brings it: sectors from the cache, or
// from the image with the defect map's damage, the fresh ones kept in the
// cache.
#pragma once

#include "DefectState.h"
#include "DiscImage.h"
#include "ReadPace.h"
#include "SectorCache.h"

#include <cstdint>
#include <optional>

namespace rilvane::vdrive {

inline constexpr int kC2PointerBytes = 294;

class SectorReader {
public:
    SectorReader(const DiscImage& image, DefectState& defects);

    const DiscImage& image() const { return image_; }

    // The drive's speed; reads from the disc take their time at it.
    ReadPace& pace() { return pace_; }
    const ReadPace& pace() const { return pace_; }

    // Before a read of count sectors from lba: its failure, if it fails as a
    // whole (see DefectState::readFailure), after the time the sectors it
    // tried to read from the disc take.
    std::optional<ScsiReply> readFailure(int64_t lba, int64_t count, uint32_t& dataLength);

    // After a read that ended before `end` and brought `fromDisc` sectors
    // from the disc: the drive reads ahead into its cache (an eighth of it,
    // at most 32 sectors, as far as its readings come out right), and the
    // read takes the time of everything it read from the disc.
    void finishRead(int64_t end, int64_t fromDisc);

    // FUA on a drive that honours it: the cache forgets everything.
    void forceUnitAccess();

    // Whether sectors come from the image as they are (no cache, no damage),
    // so that runs of them may be read in one go with readRun().
    bool plain() const;
    bool readRun(int64_t first, int64_t count, uint8_t* out) const;

    // One raw sector (2352 bytes) and its C2 pointers (294 bytes) as this
    // read brings it; false when the image cannot be read there. `fromDisc`
    // (when given) says whether it came from the disc, not the cache.
    bool fetch(int64_t sector, uint8_t* raw, uint8_t* c2, bool* fromDisc = nullptr);

private:
    const DiscImage& image_;
    DefectState& defects_;
    SectorCache cache_;
    ReadPace pace_;
};

}  // namespace rilvane::vdrive
