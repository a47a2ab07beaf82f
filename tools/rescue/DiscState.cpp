#include "DiscState.h"

#include <algorithm>
#include <cstdio>

namespace rilvane::rescuewin {

DiscState::DiscState(const rescue::RescueMap& map)
    : layout_(map.layout()),
      states_(static_cast<size_t>(map.sectors())),
      tries_(static_cast<size_t>(map.sectors()))
{
    for (int32_t s = 0; s < map.sectors(); ++s) {
        states_[static_cast<size_t>(s)] = static_cast<uint8_t>(map.state(s));
        tries_[static_cast<size_t>(s)] = map.tries(s);
    }
    makeTracks();
}

DiscState::DiscState(const rescue::DiscLayout& layout) : DiscState(rescue::RescueMap(layout)) {}

std::optional<DiscState> DiscState::load(const std::string& mapPath, std::string& error)
{
    const auto map = rescue::RescueMap::load(mapPath, error);
    if (!map) return std::nullopt;
    return DiscState(*map);
}

void DiscState::makeTracks()
{
    tracks_.clear();
    const auto& starts = layout_.trackStarts;
    for (size_t t = 0; t < starts.size(); ++t) {
        TrackSpan span;
        span.number = static_cast<int>(t + 1);
        span.first = starts[t];
        span.end = t + 1 < starts.size() ? starts[t + 1] : layout_.leadOut;
        span.data = t < layout_.dataTrack.size() && layout_.dataTrack[t];
        tracks_.push_back(span);
    }
}

void DiscState::set(int32_t s, SectorState state, uint16_t tries)
{
    states_[static_cast<size_t>(s)] = static_cast<uint8_t>(state);
    tries_[static_cast<size_t>(s)] = tries;
}

StateCounts DiscState::counts(int32_t first, int32_t end) const
{
    StateCounts c;
    first = std::clamp(first, 0, sectors());
    end = std::clamp(end, first, sectors());
    for (int32_t s = first; s < end; ++s) ++c.n[std::min<size_t>(states_[static_cast<size_t>(s)], kStateCount - 1)];
    return c;
}

int64_t DiscState::failedTries() const
{
    int64_t sum = 0;
    for (size_t s = 0; s < states_.size(); ++s)
        if (static_cast<SectorState>(states_[s]) == SectorState::Failed) sum += tries_[s];
    return sum;
}

int DiscState::trackAt(int32_t sector) const
{
    for (size_t t = 0; t < tracks_.size(); ++t)
        if (sector >= tracks_[t].first && sector < tracks_[t].end) return static_cast<int>(t);
    // Sectors before the first track's start (a hidden first pregap) count
    // to the first track.
    return !tracks_.empty() && sector >= 0 && sector < tracks_.front().first ? 0 : -1;
}

const char* stateLabel(SectorState state)
{
    switch (state) {
    case SectorState::Untried: return "ungelesen";
    case SectorState::Narrow: return "vorgemerkt";
    case SectorState::Failed: return "unlesbar";
    case SectorState::Suspect: return "verdächtig (C2)";
    case SectorState::Good: return "gut";
    case SectorState::Verified: return "geprüft";
    case SectorState::Data: return "Datentrack";
    }
    return "?";
}

std::string discTime(int64_t sectors)
{
    if (sectors < 0) sectors = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%02lld", static_cast<long long>(sectors / 75 / 60),
                  static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
    return text;
}

}  // namespace rilvane::rescuewin
