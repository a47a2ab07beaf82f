// The disc as the drive's read path brings it: sectors from the cache, or
// from the image with the defect map's damage, the fresh ones kept in the
// cache.
#pragma once

#include "DefectState.h"
#include "DiscImage.h"
#include "SectorCache.h"

#include <cstdint>
#include <optional>

namespace rilvane::vdrive {

inline constexpr int kC2PointerBytes = 294;

class SectorReader {
public:
    SectorReader(const DiscImage& image, DefectState& defects);

    const DiscImage& image() const { return image_; }

    // Before a read of count sectors from lba: its failure, if it fails as a
    // whole (see DefectState::readFailure).
    std::optional<ScsiReply> readFailure(int64_t lba, int64_t count, uint32_t& dataLength);

    // Whether sectors come from the image as they are (no cache, no damage),
    // so that runs of them may be read in one go with readRun().
    bool plain() const;
    bool readRun(int64_t first, int64_t count, uint8_t* out) const;

    // One raw sector (2352 bytes) and its C2 pointers (294 bytes) as this
    // read brings it; false when the image cannot be read there.
    bool fetch(int64_t sector, uint8_t* raw, uint8_t* c2);

private:
    const DiscImage& image_;
    DefectState& defects_;
    SectorCache cache_;
};

}  // namespace rilvane::vdrive
