// The ids a disc is known by in the databases that collect rips: the two
// AccurateRip ids and the FreeDB id (together the AccurateRip database's
// file name for the disc) and the MusicBrainz disc id, with the addresses
// where a person with a network can look the disc up.
#pragma once

#include <cstdint>
#include <string>

#include "proof/DiscToc.h"

namespace rilvane::proof {

struct DiscIds {
    int audioTracks = 0;
    uint32_t accurateRipId1 = 0;
    uint32_t accurateRipId2 = 0;
    uint32_t freedbId = 0;
    std::string musicBrainzId;   // empty when libdiscid refused the table
    std::string musicBrainzUrl;  // libdiscid's address for the disc's TOC

    // "nnn-aaaaaaaa-bbbbbbbb-ffffffff": track count, id1, id2, FreeDB id.
    std::string accurateRipName() const;
    // Where the AccurateRip database keeps the checksums of the disc.
    std::string accurateRipUrl() const;

    // The ids of `toc`, which must be valid().
    //
    // AccurateRip counts only audio tracks: id1 is the sum of their start
    // sectors and the lead-out, id2 the sum of each start (at least 1) times
    // the track's place among the audio tracks, plus the lead-out times
    // (count + 1). FreeDB counts every track: the digit sums of the starts
    // in seconds (with the two seconds before sector 0), modulo 255, the
    // disc's length in seconds and the number of tracks. MusicBrainz leaves
    // a data track at the end (an enhanced CD) out and ends the audio 11400
    // sectors before it.
    static DiscIds of(const DiscToc& toc);
};

std::string hex8(uint32_t value);

}  // namespace rilvane::proof
