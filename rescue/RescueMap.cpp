#include "rescue/RescueMap.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "rescue/ToolFiles.h"
#include "rescue/TextFile.h"

namespace rilvane::rescue {

namespace {

constexpr const char* kMagic = "rilvane-rescue-map 1";

struct StateName {
    SectorState state;
    const char* name;
};
constexpr StateName kStateNames[] = {
    {SectorState::Untried, "untried"}, {SectorState::Narrow, "narrow"}, {SectorState::Failed, "failed"},
    {SectorState::Suspect, "suspect"}, {SectorState::Good, "good"},     {SectorState::Verified, "verified"},
    {SectorState::Data, "data"},
};
// A whole decimal number within [low, high] and nothing else.
template <typename T>
std::optional<T> wholeNumber(const std::string& text, T low, T high)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
    return value;
}

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string w; in >> w;) result.push_back(w);
    return result;
}

}  // namespace

const char* stateName(SectorState state)
{
    for (const StateName& n : kStateNames)
        if (n.state == state) return n.name;
    return "untried";
}

std::string DiscLayout::tocText() const
{
    std::string text;
    for (const int32_t start : trackStarts) text += std::to_string(start) + " ";
    return text + std::to_string(leadOut);
}

RescueMap::RescueMap(DiscLayout layout)
    : layout_(std::move(layout)),
      states_(static_cast<size_t>(layout_.leadOut), SectorState::Untried),
      tries_(static_cast<size_t>(layout_.leadOut), 0),
      c2Bits_(static_cast<size_t>(layout_.leadOut), 0),
      sums_(static_cast<size_t>((layout_.leadOut + kSumSectors - 1) / kSumSectors), 0),
      sumKnown_(sums_.size(), false),
      sumChanged_(sums_.size(), true)
{
    layout_.dataTrack.resize(layout_.trackStarts.size(), false);
    for (size_t t = 0; t < layout_.trackStarts.size(); ++t) {
        if (!layout_.dataTrack[t]) continue;
        const int32_t end = layout_.trackEnd(t);
        for (int32_t s = layout_.trackStarts[t]; s < end; ++s) states_[static_cast<size_t>(s)] = SectorState::Data;
    }
}

void RescueMap::set(int32_t s, SectorState state, uint16_t tries, uint16_t c2Bits)
{
    const auto i = static_cast<size_t>(s);
    const std::lock_guard<std::mutex> lock(*mutex_);
    const bool hadReading = hasReading(s);
    states_[i] = state;
    tries_[i] = tries;
    c2Bits_[i] = c2Bits;
    // The sum covers which sectors hold a reading and their bytes; bytes
    // the copy takes are noted by the copy itself. Counting another failed
    // try changes neither, and must not cost a new sum at every checkpoint.
    if (hasReading(s) != hadReading) {
        sumChanged_[i / kSumSectors] = true;
        sumKnown_[i / kSumSectors] = false;
    }
}

std::optional<uint32_t> RescueMap::sum(int32_t stretch) const
{
    const auto i = static_cast<size_t>(stretch);
    return sumKnown_[i] ? std::optional<uint32_t>(sums_[i]) : std::nullopt;
}

void RescueMap::setSum(int32_t stretch, uint32_t sum)
{
    const auto i = static_cast<size_t>(stretch);
    sums_[i] = sum;
    sumKnown_[i] = true;
    sumChanged_[i] = false;
}

int32_t RescueMap::dropReadings(int32_t first, int32_t end)
{
    int32_t dropped = 0;
    for (int32_t s = std::max(first, 0); s < std::min(end, sectors()); ++s) {
        if (state(s) == SectorState::Data || state(s) == SectorState::Untried) continue;
        dropped += hasReading(s);
        set(s, SectorState::Untried);
    }
    return dropped;
}

std::string RescueMap::driveName(const std::string& drive)
{
    std::string name;
    for (const std::string& w : words(drive.substr(0, drive.find('#')))) name += (name.empty() ? "" : " ") + w;
    return name;
}

int RescueMap::takeDataTracks(const std::vector<bool>& dataTrack)
{
    int changed = 0;
    for (size_t t = 0; t < layout_.trackStarts.size() && t < dataTrack.size(); ++t) {
        if (layout_.dataTrack[t] == dataTrack[t]) continue;
        ++changed;
        layout_.dataTrack[t] = dataTrack[t];
        const int32_t end = t + 1 < layout_.trackStarts.size() ? layout_.trackStarts[t + 1] : layout_.leadOut;
        for (int32_t s = layout_.trackStarts[t]; s < end; ++s)
            set(s, dataTrack[t] ? SectorState::Data : SectorState::Untried);
    }
    return changed;
}

void RescueMap::setTries(int32_t s, uint16_t tries)
{
    const std::lock_guard<std::mutex> lock(*mutex_);
    tries_[static_cast<size_t>(s)] = tries;
}

std::vector<SectorState> RescueMap::snapshot() const
{
    const std::lock_guard<std::mutex> lock(*mutex_);
    return states_;
}

SectorRun RescueMap::nextRun(int32_t from, int32_t end, StateSet states) const
{
    end = std::min(end, sectors());
    int32_t first = std::max(from, 0);
    while (first < end && !states.has(states_[static_cast<size_t>(first)])) ++first;
    int32_t last = first;
    while (last < end && states.has(states_[static_cast<size_t>(last)])) ++last;
    return {first, last};
}

int64_t RescueMap::count(int32_t first, int32_t end, StateSet states) const
{
    int64_t n = 0;
    for (SectorRun r = nextRun(first, end, states); !r.empty(); r = nextRun(r.end, end, states)) n += r.end - r.first;
    return n;
}

std::string RescueMap::text() const
{
    std::string out = std::string(kMagic) + "\n# FIRST-LAST STATE [TRIES [C2BITS]]\ntoc " + layout_.tocText() + "\n";
    for (size_t t = 0; t < layout_.dataTrack.size(); ++t)
        if (layout_.dataTrack[t]) out += "data " + std::to_string(t + 1) + "\n";
    if (runs_ > 0) out += "runs " + std::to_string(runs_) + "\n";
    if (!drive_.empty()) out += "drive " + drive_ + "\n";
    const auto n = static_cast<int32_t>(states_.size());
    for (int32_t first = 0; first < n;) {
        int32_t last = first;
        while (last + 1 < n && state(last + 1) == state(first) && tries(last + 1) == tries(first) &&
               c2Bits(last + 1) == c2Bits(first))
            ++last;
        out += std::to_string(first);
        if (last != first) out += "-" + std::to_string(last);
        out += " ";
        out += stateName(state(first));
        if (tries(first) != 0 || c2Bits(first) != 0) out += " " + std::to_string(tries(first));
        if (c2Bits(first) != 0) out += " " + std::to_string(c2Bits(first));
        out += "\n";
        first = last + 1;
    }
    // SUM: the CRC32 of the readings of the stretch of kSumSectors from FIRST.
    for (size_t i = 0; i < sums_.size(); ++i) {
        if (!sumKnown_[i]) continue;
        char line[48];
        std::snprintf(line, sizeof line, "sum %zu %08x\n", i * kSumSectors, sums_[i]);
        out += line;
    }
    return out;
}

std::optional<RescueMap> RescueMap::parse(const std::string& text, std::string& error)
{
    std::istringstream in(text);
    std::string line;
    size_t lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "Zeile " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    std::optional<RescueMap> map;
    DiscLayout layout;
    std::vector<int> dataTracks;
    int runs = 0;
    std::string drive;
    bool magic = false;
    int32_t next = 0;  // sectors must come in order, each once
    while (std::getline(in, line)) {
        ++lineNo;
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        const std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (!magic) {
            if (line.find(kMagic) == std::string::npos) return fail("keine Rettungskarte");
            magic = true;
            continue;
        }
        if (w[0] == "toc") {
            if (map || w.size() < 3) return fail("'toc' braucht die Startsektoren und die Auslaufrille");
            for (size_t i = 1; i < w.size(); ++i) {
                const auto v = wholeNumber<int32_t>(w[i], 0, 500'000);
                if (!v || (!layout.trackStarts.empty() && *v < layout.trackStarts.back()))
                    return fail("falscher Sektor '" + w[i] + "'");
                layout.trackStarts.push_back(*v);
            }
            layout.leadOut = layout.trackStarts.back();
            layout.trackStarts.pop_back();
            continue;
        }
        if (w[0] == "data") {
            const auto t = w.size() == 2 ? wholeNumber<int>(w[1], 1, 99) : std::nullopt;
            if (!t || layout.trackStarts.empty() || map) return fail("'data' braucht eine Tracknummer nach 'toc'");
            dataTracks.push_back(*t);
            continue;
        }
        if (w[0] == "runs") {
            const auto n = w.size() == 2 ? wholeNumber<int>(w[1], 1, 1'000'000) : std::nullopt;
            if (!n || map) return fail("'runs' braucht eine Zahl vor den Sektoren");
            runs = *n;
            continue;
        }
        if (w[0] == "drive") {
            if (map || w.size() < 2) return fail("'drive' braucht den Namen des Laufwerks vor den Sektoren");
            drive.clear();
            for (size_t i = 1; i < w.size(); ++i) drive += (i > 1 ? " " : "") + w[i];
            continue;
        }
        if (w[0] == "sum") {
            if (!map || next != map->sectors() || w.size() != 3) return fail("'sum' gehört nach die Sektoren");
            const auto first = wholeNumber<int32_t>(w[1], 0, map->sectors() - 1);
            uint32_t value = 0;
            const auto [end, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), value, 16);
            if (!first || *first % kSumSectors != 0 || ec != std::errc() || end != w[2].data() + w[2].size() ||
                w[2].size() != 8)
                return fail("falsche Prüfsumme '" + w[1] + " " + w[2] + "'");
            map->setSum(*first / kSumSectors, value);
            continue;
        }
        if (!map) {
            if (layout.trackStarts.empty()) return fail("'toc' fehlt");
            layout.dataTrack.assign(layout.trackStarts.size(), false);
            for (const int t : dataTracks)
                if (static_cast<size_t>(t) <= layout.dataTrack.size()) layout.dataTrack[static_cast<size_t>(t - 1)] = true;
            map.emplace(layout);
            map->setRuns(runs);
            map->setDrive(drive);
        }
        const size_t dash = w[0].find('-');
        const auto first = wholeNumber<int32_t>(w[0].substr(0, dash), 0, map->sectors() - 1);
        const auto last = dash == std::string::npos ? first
                                                     : wholeNumber<int32_t>(w[0].substr(dash + 1), 0,
                                                                                   map->sectors() - 1);
        if (!first || !last || *last < *first || *first != next) return fail("falscher Bereich '" + w[0] + "'");
        if (w.size() < 2 || w.size() > 4) return fail("Zustand fehlt oder zu viele Angaben");
        std::optional<SectorState> state;
        for (const StateName& n : kStateNames)
            if (w[1] == n.name) state = n.state;
        if (!state) return fail("unbekannter Zustand '" + w[1] + "'");
        const auto tries = w.size() >= 3 ? wholeNumber<uint16_t>(w[2], 0, 0xFFFF) : std::optional<uint16_t>(0);
        const auto c2 = w.size() == 4 ? wholeNumber<uint16_t>(w[3], 0, 0xFFFF) : std::optional<uint16_t>(0);
        if (!tries || !c2) return fail("falsche Zahl");
        for (int32_t s = *first; s <= *last; ++s) map->set(s, *state, *tries, *c2);
        next = *last + 1;
    }
    if (!magic) return fail("keine Rettungskarte");
    if (!map) return fail("keine Sektoren");
    if (next != map->sectors()) return fail("die Sektoren ab " + std::to_string(next) + " fehlen");
    // As read, nothing has changed since the sums were taken.
    for (int32_t i = 0; i < map->sumStretches(); ++i)
        if (map->sum(i)) map->sumChanged_[static_cast<size_t>(i)] = false;
    return map;
}

bool RescueMap::save(const std::string& path, std::string& error) const
{
    return replaceFile(path, text(), error);
}

std::optional<RescueMap> RescueMap::load(const std::string& path, std::string& error)
{
    std::string text;
    if (!readToolFile(path, FileLimits::kMap, text, error, platform::Links::Refuse)) return std::nullopt;
    auto map = parse(text, error);
    if (!map) error = "ist nicht lesbar: " + error;
    return map;
}

}  // namespace rilvane::rescue
