// What the test-disc generator is asked to make.
#pragma once

#include <cstdint>
#include <optional>
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
    // A radial scratch: every audio sector whose stretch of the spiral crosses
    // this angle (degrees, see DiscSpiral) fails, after scratchDelayMs.
    std::optional<double> scratchDegrees;
    uint32_t scratchDelayMs = 0;
};

inline constexpr int64_t kDefaultTrackLength = 1500;

}  // namespace rilvane::makedisc
