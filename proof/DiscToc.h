// A disc's table of contents as the checksums, disc ids, CUE sheets and the
// log need it: every track with its number, start and control field, and the
// lead-out. Addresses are sector numbers (LBA, the first track usually at 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rilvane::proof {

// Bits of a track's control field (the low nibble of ADR/control in the TOC).
struct TrackControl {
    static constexpr uint8_t kPreEmphasis = 0x01;
    static constexpr uint8_t kCopyPermitted = 0x02;
    static constexpr uint8_t kDataTrack = 0x04;
    static constexpr uint8_t kFourChannel = 0x08;
};

struct TocTrack {
    int number = 0;          // 1..99 as the disc numbers it
    int32_t start = 0;       // INDEX 01
    uint8_t control = 0;

    bool audio() const { return (control & TrackControl::kDataTrack) == 0; }
    bool preEmphasis() const { return audio() && (control & TrackControl::kPreEmphasis) != 0; }
    bool copyPermitted() const { return (control & TrackControl::kCopyPermitted) != 0; }
};

struct DiscToc {
    std::vector<TocTrack> tracks;  // in disc order
    int32_t leadOut = 0;

    // The first sector after track `index` (0-based in `tracks`): the next
    // track's start, or the lead-out.
    int32_t trackEnd(size_t index) const;
    // True when the tracks and the lead-out are in order and numbered 1..99.
    bool valid() const;
    // Audio tracks only, in disc order.
    std::vector<TocTrack> audioTracks() const;
};

// Sectors between the last audio track of the first session and the data
// track of the second on an enhanced CD (lead-out, lead-in, pregap), as the
// disc ids count them.
constexpr int32_t kSessionGapSectors = 11400;

}  // namespace rilvane::proof
