// A track's audio with the drive's read offset applied. A drive gives every
// sector shifted by a few samples (stereo frames) against where the disc's
// addresses say it lies; with the drive's read offset correction `offset`
// (as drive offset lists give it, e.g. +6) frame i of the disc is frame
// i + offset of what was read. What the shift reaches beyond the audio that
// was read (before the disc's first sector, past the lead-out) is silence,
// as no drive can be trusted to read there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "drive/CdAudio.h"

namespace rilvane::proof {

// Raw audio sectors by disc address (2352 bytes each), e.g. the rescue's
// whole-disc working copy.
class SectorSource {
public:
    virtual ~SectorSource() = default;
    // Copies `count` sectors from `first` on into `out`; false on failure.
    virtual bool read(int32_t first, int32_t count, uint8_t* out) = 0;
};

class ShiftedAudio {
public:
    // `audioFirst` .. `audioEnd` (sectors, end excluded): where the source
    // holds audio; `offset`: the read offset correction in frames.
    ShiftedAudio(SectorSource& source, int32_t audioFirst, int32_t audioEnd, int offset);

    // Hands the frames of sectors `first` .. `end` (excluded), shifted, to
    // `sink` in pieces, in order. False when the source failed.
    using Sink = std::function<void(const uint8_t* frames, size_t count)>;
    bool stream(int32_t first, int32_t end, const Sink& sink);

    static constexpr size_t kPieceFrames = 10 * cd::kFramesPerSector;

private:
    SectorSource& source_;
    int64_t validFirst_;  // frames
    int64_t validEnd_;
    int offset_;
    std::vector<uint8_t> sectors_;
    std::vector<uint8_t> piece_;
};

}  // namespace rilvane::proof
