// The checksums of one track's audio as it was written: AccurateRip v1 and
// v2, the CRC32 of the audio bytes, and the CRC32 of the audio with every
// silent (zero) 16-bit sample left out, the two CRCs that rip logs list as
// "copy CRC" with and without null samples.
//
// AccurateRip treats each stereo frame as one little-endian 32-bit word
// (left sample low, right sample high) and numbers the frames of a track
// from 1. v1 adds word × number, v2 adds the high and the low 32 bits of the
// 64-bit product, both modulo 2^32. On the first track of a disc the frames
// before number 2940 (five sectors less one frame) are left out, on the last
// track the last 2940 frames (five sectors): drives differ in how far they
// can read into the lead-in and lead-out, and the sums must not depend on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drive/CdAudio.h"

namespace rilvane::proof {

struct Checksums {
    uint32_t accurateRipV1 = 0;
    uint32_t accurateRipV2 = 0;
    uint32_t crc = 0;
    uint32_t crcWithoutSilence = 0;
};

// Frames at each edge of the disc that AccurateRip leaves out.
constexpr int64_t kAccurateRipEdgeFrames = 5 * int64_t{cd::kFramesPerSector};

class TrackChecksums {
public:
    // `frames`: the track's length in stereo frames; `firstOnDisc` and
    // `lastOnDisc` name the first and last audio track of the disc.
    TrackChecksums(int64_t frames, bool firstOnDisc, bool lastOnDisc);

    // The next `count` frames of the track (4 bytes each, little-endian).
    void add(const uint8_t* data, size_t count);

    // The sums of what was added so far.
    Checksums result() const;
    int64_t framesAdded() const { return position_; }

private:
    int64_t position_ = 0;  // frames added so far
    int64_t countFrom_;     // first frame number (1-based) the AccurateRip sums take
    int64_t countTo_;       // last one
    uint32_t v1_ = 0;
    uint32_t v2_ = 0;
    uint32_t crc_;          // as zlib keeps it between calls
    uint32_t crcSkipping_;
};

// The CRC-32 of zlib, PNG and Ethernet (reflected polynomial 0xEDB88320).
// `crc` is a running value: start with 0, hand each result to the next call.
uint32_t crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace rilvane::proof
