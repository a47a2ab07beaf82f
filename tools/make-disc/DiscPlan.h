// What the test-disc generator is asked to make.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rilvane::makedisc {

enum class DataTrack { None, First, Last };

struct DiscPlan {
    std::string out;              // DIR/NAME: writes DIR/NAME.cue, DIR/NAME.bin, ...
    int tracks = 3;               // ignored when lengths are given
    std::vector<int64_t> lengths; // sectors from INDEX 01 to the next track; empty: 1500 each
    int firstTrack = 1;
    DataTrack dataTrack = DataTrack::None;
    int64_t pregap = 0;           // silent sectors before every track's INDEX 01 (INDEX 00)
    std::vector<std::string> defects;  // defect map lines
    std::string name;             // INQUIRY product identification
    bool stamp = false;           // sector number in the first frame of every audio sector
    bool splitFiles = false;      // one BIN per track instead of one for the disc
    std::vector<int> preEmphasis; // track numbers flagged with pre-emphasis (FLAGS PRE)
    // What the disc says about itself:
    int64_t hiddenTrack = 0;      // sectors of sound before the first track's INDEX 01 (its INDEX 00)
    int64_t index2 = 0;           // INDEX 02 this many sectors after INDEX 01 of every audio track (0: none)
    std::string catalog;          // CATALOG, 13 digits
    std::vector<std::string> isrcs;  // ISRC of each track in order; an empty entry: none
    std::string title;            // CD-Text of the disc
    std::string performer;
    std::string songwriter;
    std::vector<std::string> trackTitles;  // CD-Text of each track in order; an empty entry: none
    std::vector<std::string> trackPerformers;
    std::vector<std::string> trackSongwriters;
};

inline constexpr int64_t kDefaultTrackLength = 1500;

}  // namespace rilvane::makedisc
