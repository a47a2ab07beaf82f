// What a disc says about itself beyond its table of contents, as the
// sub-channel and the CD-Text tell it: the catalogue number, titles, and for
// each track its pregap's start (INDEX 00), its further index points, its
// ISRC and whether Q marks it pre-emphasised. Sectors are disc addresses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rilvane::proof {

struct TrackFacts {
    int number = 0;
    std::optional<int32_t> pregapStart;  // INDEX 00, before the track's start
    std::vector<int32_t> indexes;        // INDEX 02, 03, ... in order
    std::string isrc;
    std::string title;
    std::string performer;
    bool preEmphasis = false;  // Q's control bits say so
};

struct DiscFacts {
    std::string catalog;
    std::string title;
    std::string performer;
    std::vector<TrackFacts> tracks;
    // The file (a name beside the track sheet) of the audio before the first
    // track's INDEX 01, when one was written.
    std::string hiddenTrackFile;

    const TrackFacts* track(int number) const
    {
        for (const TrackFacts& t : tracks)
            if (t.number == number) return &t;
        return nullptr;
    }
};

}  // namespace rilvane::proof
