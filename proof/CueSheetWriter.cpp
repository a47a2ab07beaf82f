#include "proof/CueSheetWriter.h"

#include <cstdio>

#include "drive/CdAudio.h"

namespace rilvane::proof {

namespace {

// A text of the disc as a quoted CUE value: a double quote, which a sheet
// cannot hold, becomes a single one; control characters are left out.
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '\'';
        else if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
    return out + "\"";
}

bool fitsInQuotes(const std::string& name)
{
    if (name.empty()) return false;
    for (const char c : name)
        if (c == '"' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

std::string trackLine(int number, const char* mode)
{
    char text[32];
    std::snprintf(text, sizeof text, "  TRACK %02d %s\n", number, mode);
    return text;
}

}  // namespace

CueSheetWriter::CueSheetWriter(const DiscToc& toc, const DiscIds& ids, std::string program, const DiscFacts* facts)
    : toc_(toc), ids_(ids), program_(std::move(program)), facts_(facts)
{
}

std::string CueSheetWriter::time(int64_t sectors)
{
    if (sectors < 0) sectors = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(sectors / (cd::kSectorsPerSecond * 60)),
                  static_cast<long long>(sectors / cd::kSectorsPerSecond % 60), static_cast<long long>(sectors % cd::kSectorsPerSecond));
    return text;
}

std::string CueSheetWriter::header() const
{
    std::string text;
    text += "REM DISCID " + hex8(ids_.freedbId) + "\n";
    text += "REM ACCURATERIPID " + ids_.accurateRipName() + "\n";
    if (!ids_.musicBrainzId.empty()) text += "REM MUSICBRAINZ_DISCID " + ids_.musicBrainzId + "\n";
    text += "REM COMMENT \"" + program_ + "\"\n";
    if (facts_) {
        if (!facts_->catalog.empty()) text += "CATALOG " + facts_->catalog + "\n";
        if (!facts_->performer.empty()) text += "PERFORMER " + quoted(facts_->performer) + "\n";
        if (!facts_->title.empty()) text += "TITLE " + quoted(facts_->title) + "\n";
    }
    return text;
}

std::string CueSheetWriter::trackFacts(const TocTrack& track) const
{
    const TrackFacts* f = facts_ ? facts_->track(track.number) : nullptr;
    if (!f) return {};
    std::string text;
    if (!f->title.empty()) text += "    TITLE " + quoted(f->title) + "\n";
    if (!f->performer.empty()) text += "    PERFORMER " + quoted(f->performer) + "\n";
    if (!f->isrc.empty()) text += "    ISRC " + f->isrc + "\n";
    return text;
}

std::optional<int32_t> CueSheetWriter::pregapOf(const TocTrack& track) const
{
    const TrackFacts* f = facts_ ? facts_->track(track.number) : nullptr;
    if (!f || !f->pregapStart || *f->pregapStart >= track.start || *f->pregapStart < 0) return std::nullopt;
    return f->pregapStart;
}

std::string CueSheetWriter::flags(const TocTrack& track) const
{
    std::string list;
    if (track.copyPermitted()) list += " DCP";
    if (track.audio() && (track.control & TrackControl::kFourChannel)) list += " 4CH";
    const TrackFacts* f = facts_ ? facts_->track(track.number) : nullptr;
    if (track.preEmphasis() || (track.audio() && f && f->preEmphasis)) list += " PRE";
    return list.empty() ? std::string() : "    FLAGS" + list + "\n";
}

std::optional<std::string> CueSheetWriter::trackFiles(const std::vector<std::string>& files,
                                                      const std::string& fileType) const
{
    std::string text = header();
    const auto trackHead = [&](const TocTrack& track) {
        return trackLine(track.number, "AUDIO") + trackFacts(track) + flags(track);
    };
    const std::string hidden = facts_ ? facts_->hiddenTrackFile : std::string();
    if (!hidden.empty() && !fitsInQuotes(hidden)) return std::nullopt;
    size_t file = 0;
    const TocTrack* opened = nullptr;  // a track whose TRACK line stands in the file before its own
    for (size_t i = 0; i < toc_.tracks.size(); ++i) {
        const TocTrack& track = toc_.tracks[i];
        if (!track.audio()) continue;
        if (file >= files.size() || !fitsInQuotes(files[file])) return std::nullopt;
        const bool first = &track == &toc_.tracks.front();
        if (first && track.start > 0 && !hidden.empty()) {
            // The audio before the first track in a file of its own.
            text += "FILE \"" + hidden + "\" " + fileType + "\n";
            text += trackHead(track);
            text += "    INDEX 00 00:00:00\n";
            opened = &track;
        }
        text += "FILE \"" + files[file++] + "\" " + fileType + "\n";
        if (opened != &track) {
            text += trackHead(track);
            if (first && track.start > 0) text += "    PREGAP " + time(track.start) + "\n";
        }
        text += "    INDEX 01 00:00:00\n";
        const TrackFacts* f = facts_ ? facts_->track(track.number) : nullptr;
        int32_t last = track.start;
        if (f)
            for (size_t k = 0; k < f->indexes.size(); ++k) {
                const int32_t at = f->indexes[k];
                if (at <= last || at >= toc_.trackEnd(i)) break;
                char line[32];
                std::snprintf(line, sizeof line, "    INDEX %02zu ", k + 2);
                text += line + time(at - track.start) + "\n";
                last = at;
            }
        // The next track's pregap stays at the end of this file.
        opened = nullptr;
        if (i + 1 < toc_.tracks.size() && toc_.tracks[i + 1].audio()) {
            const TocTrack& next = toc_.tracks[i + 1];
            if (const auto gap = pregapOf(next); gap && *gap > last) {
                text += trackHead(next);
                text += "    INDEX 00 " + time(*gap - track.start) + "\n";
                opened = &next;
            }
        }
    }
    if (file != files.size()) return std::nullopt;
    return text;
}

std::optional<std::string> CueSheetWriter::discImage(const std::string& binName) const
{
    if (!fitsInQuotes(binName)) return std::nullopt;
    std::string text = header();
    text += "FILE \"" + binName + "\" BINARY\n";
    for (size_t i = 0; i < toc_.tracks.size(); ++i) {
        const TocTrack& track = toc_.tracks[i];
        text += trackLine(track.number, track.audio() ? "AUDIO" : "MODE1/2352");
        text += trackFacts(track);
        text += flags(track);
        const int32_t before = i == 0 ? 0 : toc_.tracks[i - 1].start;
        if (const auto gap = pregapOf(track); gap && *gap > before)
            text += "    INDEX 00 " + time(*gap) + "\n";
        else if (i == 0 && track.start > 0)
            text += "    INDEX 00 00:00:00\n";
        text += "    INDEX 01 " + time(track.start) + "\n";
        const TrackFacts* f = facts_ ? facts_->track(track.number) : nullptr;
        int32_t last = track.start;
        if (f)
            for (size_t k = 0; k < f->indexes.size(); ++k) {
                const int32_t at = f->indexes[k];
                if (at <= last || at >= toc_.trackEnd(i)) break;
                char line[32];
                std::snprintf(line, sizeof line, "    INDEX %02zu ", k + 2);
                text += line + time(at) + "\n";
                last = at;
            }
    }
    return text;
}

}  // namespace rilvane::proof
