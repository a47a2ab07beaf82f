#include "rescue/SubchannelScan.h"

#include <algorithm>
#include <sstream>

#include "proof/CueSheetWriter.h"
#include "rescue/RescueReport.h"

namespace rilvane::rescue {

namespace {

// Readings of one sector's Q before it counts as not readable.
constexpr int kReadingsPerSector = 4;
// Sectors tried before a drive counts as giving no usable Q at all.
constexpr int kProbeSectors = 3;

bool sameFrame(const QFrame& a, const QFrame& b)
{
    return a.control == b.control && a.adr == b.adr && a.track == b.track && a.index == b.index &&
           a.relative == b.relative && a.absolute == b.absolute && a.catalog == b.catalog && a.isrc == b.isrc;
}

std::string trackLabel(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "Track %02d", number);
    return text;
}

}  // namespace

SubchannelScan::SubchannelScan(BlockReader& reader, const proof::DiscToc& toc, const StopToken& stop)
    : reader_(reader), toc_(toc), stop_(stop)
{
}

std::optional<QFrame> SubchannelScan::agreed(int32_t sector)
{
    if (const auto known = agreed_.find(sector); known != agreed_.end()) return known->second;
    std::vector<QFrame> good;
    std::optional<QFrame> result;
    for (int i = 0; i < kReadingsPerSector && !result && !stop_.stopRequested(); ++i) {
        QFrame f;
        ++found_.qReads;
        switch (reader_.q(sector, f)) {
        case SubchannelReader::QRead::Failed: ++found_.qFailed; continue;
        case SubchannelReader::QRead::BadCrc: ++found_.qBadCrc; continue;
        case SubchannelReader::QRead::Good: break;
        }
        for (const QFrame& g : good)
            if (sameFrame(g, f)) result = f;
        good.push_back(f);
    }
    if (!result && good.size() >= 2) ++found_.qDisagreed;
    agreed_[sector] = result;
    return result;
}

std::optional<QFrame> SubchannelScan::position(int32_t sector)
{
    if (sector < 0 || sector >= toc_.leadOut) return std::nullopt;
    const auto own = agreed(sector);
    if (own && own->adr == QFrame::kAdrPosition) {
        // The Q of another sector than the one asked for tells nothing here.
        if (own->absolute != sector) return std::nullopt;
        return own;
    }
    if (!own || (own->adr != QFrame::kAdrCatalog && own->adr != QFrame::kAdrIsrc)) return std::nullopt;
    // A catalogue or ISRC frame in place of the position: the neighbours
    // tell it when they lie in the same track and index.
    const auto before = sector > 0 ? agreed(sector - 1) : std::nullopt;
    const auto after = sector + 1 < toc_.leadOut ? agreed(sector + 1) : std::nullopt;
    if (!before || !after || before->adr != QFrame::kAdrPosition || after->adr != QFrame::kAdrPosition ||
        before->absolute != sector - 1 || after->absolute != sector + 1 || before->track != after->track ||
        before->index != after->index)
        return std::nullopt;
    QFrame f = *before;
    f.absolute = sector;
    f.relative = before->index == 0 ? before->relative - 1 : before->relative + 1;
    return f;
}

std::optional<int32_t> SubchannelScan::pregapOf(size_t place)
{
    const proof::TocTrack& track = toc_.tracks[place];
    const int32_t start = track.start;
    const int32_t lowest = place == 0 ? 0 : toc_.tracks[place - 1].start + 1;
    if (start <= lowest) return std::nullopt;
    // In the pregap Q names this track, index 0, and counts down to INDEX 01.
    enum class Side { Pregap, Before, Unknown };
    const auto side = [&](int32_t s) {
        const auto f = position(s);
        if (!f) return Side::Unknown;
        if (f->track == track.number && f->index == 0 && f->relative == start - 1 - s) return Side::Pregap;
        if (place > 0 && f->track == toc_.tracks[place - 1].number && f->index >= 1) return Side::Before;
        return Side::Unknown;
    };
    const Side last = side(start - 1);
    if (last == Side::Before) return std::nullopt;
    if (last == Side::Unknown) return -1;
    // The first sector of the pregap: Before at lo - 1 (or lo is the lowest), Pregap at hi.
    // Pregaps are mostly short: steps growing backwards from the track find
    // the stretch to search with few reads close to it.
    int32_t lo = lowest;
    int32_t hi = start - 1;
    for (int32_t step = 1; hi > lowest;) {
        if (stop_.stopRequested()) return -1;
        const int32_t probe = std::max(lowest, hi - step);
        const Side at = side(probe);
        if (at == Side::Unknown) return -1;
        if (at == Side::Before) {
            lo = probe + 1;
            break;
        }
        hi = probe;
        step *= 2;
    }
    while (lo < hi) {
        if (stop_.stopRequested()) return -1;
        const int32_t mid = lo + (hi - lo) / 2;
        switch (side(mid)) {
        case Side::Pregap: hi = mid; break;
        case Side::Before: lo = mid + 1; break;
        case Side::Unknown: return -1;
        }
    }
    return hi;
}

std::vector<int32_t> SubchannelScan::indexesOf(size_t place, int32_t limit)
{
    const proof::TocTrack& track = toc_.tracks[place];
    std::vector<int32_t> indexes;
    const auto indexAt = [&](int32_t s) -> int {
        const auto f = position(s);
        if (!f || f->track != track.number || f->index < 1 || f->relative != s - track.start) return -1;
        return f->index;
    };
    const int highest = indexAt(limit - 1);
    if (highest < 2) return indexes;
    int32_t from = track.start;
    for (int k = 2; k <= highest; ++k) {
        int32_t lo = from + 1;
        int32_t hi = limit - 1;
        while (lo < hi) {
            if (stop_.stopRequested()) return {};
            const int32_t mid = lo + (hi - lo) / 2;
            const int at = indexAt(mid);
            if (at < 0) return indexes;
            if (at >= k) hi = mid;
            else lo = mid + 1;
        }
        indexes.push_back(hi);
        from = hi;
    }
    return indexes;
}

SubchannelFindings SubchannelScan::run()
{
    proof::DiscFacts& facts = found_.facts;
    std::vector<std::string>& lines = found_.lines;

    // Catalogue number and ISRCs: two answers that agree.
    if (const auto a = reader_.catalog(); a && a == reader_.catalog()) facts.catalog = *a;
    lines.push_back(facts.catalog.empty() ? "Katalognummer (MCN): keine"
                                          : "Katalognummer (MCN): " + facts.catalog + " (zweimal gleich gelesen)");

    const auto text = reader_.cdText();
    if (text) {
        found_.cdTextBadPacks = text->badPacks;
        facts.title = text->title;
        facts.performer = text->performer;
    }
    if (!text) lines.push_back("CD-Text: das Laufwerk liefert keinen");
    else if (text->packs == 0) lines.push_back("CD-Text: keiner");
    else
        lines.push_back("CD-Text: " + std::to_string(text->packs) + " Pakete" +
                        (text->badPacks ? ", " + std::to_string(text->badPacks) +
                                              " mit falscher CRC (deren Textart wird nicht übernommen)"
                                        : ", alle CRC richtig") +
                        (text->title.empty() ? "" : "; Titel \"" + text->title + "\"") +
                        (text->performer.empty() ? "" : ", Interpret \"" + text->performer + "\""));

    // Q of single sectors: usable when one of the first sectors gives an agreed frame.
    const auto audio = toc_.audioTracks();
    if (!audio.empty()) {
        for (int i = 0; i < kProbeSectors && !found_.qUsable; ++i)
            found_.qUsable = position(audio.front().start + i).has_value();
    }
    if (!found_.qUsable && !audio.empty())
        lines.push_back("Q-Subkanal: das Laufwerk liefert keine brauchbaren Q-Daten (CRC falsch, uneinig oder "
                        "verweigert); Vorläufe und Indexpunkte bleiben unbekannt");

    for (size_t place = 0; place < toc_.tracks.size(); ++place) {
        const proof::TocTrack& track = toc_.tracks[place];
        if (!track.audio()) continue;
        proof::TrackFacts t;
        t.number = track.number;
        if (const auto a = reader_.isrc(track.number); a && a == reader_.isrc(track.number)) t.isrc = *a;
        if (text) {
            if (auto it = text->trackTitles.find(track.number); it != text->trackTitles.end()) t.title = it->second;
            if (auto it = text->trackPerformers.find(track.number); it != text->trackPerformers.end())
                t.performer = it->second;
        }
        std::string how;
        if (found_.qUsable && !stop_.stopRequested()) {
            const auto gap = pregapOf(place);
            if (place == 0 && track.start > 0) {
                // Everything before the first track's INDEX 01 is its pregap.
                t.pregapStart = 0;
                found_.hiddenTrackInQ = gap.has_value() && *gap == 0;
                how = "Vorlauf ab Sektor 0 (" + std::to_string(track.start) + " Sektoren" +
                      (found_.hiddenTrackInQ ? ", Q bestätigt INDEX 00" : ", laut Inhaltsverzeichnis") + ")";
            } else if (!gap) {
                how = "kein Vorlauf (Q)";
            } else if (*gap < 0) {
                how = "Vorlauf unbekannt (Q nicht sicher lesbar)";
            } else {
                t.pregapStart = *gap;
                how = "Vorlauf (INDEX 00) ab Sektor " + std::to_string(*gap) + ", " +
                      std::to_string(track.start - *gap) + " Sektoren (Q)";
            }
            const int32_t end = toc_.trackEnd(place);
            int32_t limit = end;
            if (place + 1 < toc_.tracks.size()) {
                const auto next = pregapOf(place + 1);
                if (next && *next > track.start) limit = *next;
            }
            if (limit > track.start + 1) t.indexes = indexesOf(place, limit);
            for (size_t k = 0; k < t.indexes.size(); ++k)
                how += ", INDEX " + std::to_string(k + 2) + " ab Sektor " + std::to_string(t.indexes[k]);
            if (const auto f = position(track.start); f && f->track == track.number) {
                t.preEmphasis = (f->control & 0x01) != 0;
                if (t.preEmphasis && !track.preEmphasis()) how += ", Pre-Emphasis laut Q (nicht im Inhaltsverzeichnis)";
            }
        }
        std::string line = trackLabel(track.number) + ": ";
        line += t.isrc.empty() ? "keine ISRC" : "ISRC " + t.isrc;
        if (!how.empty()) line += "; " + how;
        if (!t.title.empty()) line += "; Titel \"" + t.title + "\"";
        lines.push_back(line);
        facts.tracks.push_back(std::move(t));
    }
    if (found_.qReads > 0)
        lines.push_back("Q-Subkanal: " + std::to_string(found_.qReads) + " Lesungen, " + std::to_string(found_.qBadCrc) +
                        " mit falscher CRC, " + std::to_string(found_.qFailed) + " verweigert, " +
                        std::to_string(found_.qDisagreed) +
                        " Sektoren uneinig; ein Q-Wert zählt nur mit richtiger CRC und zwei gleichen Lesungen");
    return found_;
}

Json SubchannelFindings::json() const
{
    Json j;
    j["method"] = "READ SUB-CHANNEL (MCN, ISRC, two agreeing answers), READ TOC format 5 (CD-Text, pack CRC), "
                  "READ CD formatted Q (CRC, two agreeing readings, binary search per track boundary)";
    j["qUsable"] = qUsable;
    j["qReads"] = qReads;
    j["qBadCrc"] = qBadCrc;
    j["qFailed"] = qFailed;
    j["qDisagreed"] = qDisagreed;
    j["cdTextBadPacks"] = cdTextBadPacks;
    j["catalog"] = facts.catalog;
    j["title"] = facts.title;
    j["performer"] = facts.performer;
    j["hiddenTrackFile"] = facts.hiddenTrackFile;
    j["hiddenTrackInQ"] = hiddenTrackInQ;
    Json list = Json::array();
    for (const proof::TrackFacts& t : facts.tracks) {
        Json tj;
        tj["track"] = t.number;
        tj["pregapStart"] = t.pregapStart ? Json(*t.pregapStart) : Json();
        tj["indexes"] = t.indexes;
        tj["isrc"] = t.isrc;
        tj["title"] = t.title;
        tj["performer"] = t.performer;
        tj["preEmphasisInQ"] = t.preEmphasis;
        list.push_back(std::move(tj));
    }
    j["tracks"] = std::move(list);
    return j;
}

}  // namespace rilvane::rescue
