// What the window knows of a disc being rescued: the table of contents and,
// for every sector, its state and its failed tries, as the rescue map holds
// them. Filled from a map file or from the engine's reports.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rescue/RescueMap.h"

namespace rilvane::rescuewin {

using SectorState = rescue::SectorState;
inline constexpr int kStateCount = 7;

struct StateCounts {
    std::array<int64_t, kStateCount> n{};

    int64_t of(SectorState s) const { return n[static_cast<size_t>(s)]; }
    int64_t read() const { return of(SectorState::Good) + of(SectorState::Verified); }
    // Audio sectors without a trustworthy reading.
    int64_t missing() const
    {
        return of(SectorState::Untried) + of(SectorState::Narrow) + of(SectorState::Failed);
    }
    int64_t audio() const { return read() + missing() + of(SectorState::Suspect); }
};

struct TrackSpan {
    int number = 0;      // 1-based place in the table of contents
    int32_t first = 0;
    int32_t end = 0;     // one past the last sector
    bool data = false;
};

class DiscState {
public:
    DiscState() = default;
    explicit DiscState(const rescue::RescueMap& map);
    // An empty disc of this layout: every audio sector untried.
    explicit DiscState(const rescue::DiscLayout& layout);

    static std::optional<DiscState> load(const std::string& mapPath, std::string& error);

    bool empty() const { return states_.empty(); }
    int32_t sectors() const { return static_cast<int32_t>(states_.size()); }
    const rescue::DiscLayout& layout() const { return layout_; }
    const std::vector<TrackSpan>& tracks() const { return tracks_; }

    SectorState state(int32_t s) const { return static_cast<SectorState>(states_[static_cast<size_t>(s)]); }
    uint16_t tries(int32_t s) const { return tries_[static_cast<size_t>(s)]; }
    void set(int32_t s, SectorState state, uint16_t tries);

    const std::vector<uint8_t>& states() const { return states_; }
    const std::vector<uint16_t>& triesList() const { return tries_; }

    StateCounts counts(int32_t first, int32_t end) const;
    StateCounts counts() const { return counts(0, sectors()); }
    // Failed tries over all sectors still without a reading.
    int64_t failedTries() const;
    // The track holding `sector`, or -1.
    int trackAt(int32_t sector) const;
    // True when both describe the same disc (same table of contents).
    bool sameDisc(const DiscState& other) const { return layout_ == other.layout_; }

private:
    void makeTracks();

    rescue::DiscLayout layout_;
    std::vector<TrackSpan> tracks_;
    std::vector<uint8_t> states_;
    std::vector<uint16_t> tries_;
};

// German names of the states, as the window shows them.
const char* stateLabel(SectorState state);

// "mm:ss.ff" of a number of sectors (75 a second).
std::string discTime(int64_t sectors);

}  // namespace rilvane::rescuewin
