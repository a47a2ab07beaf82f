#include "proof/CueSheetWriter.h"

#include <cstdio>

#include "drive/CdAudio.h"

namespace rilvane::proof {

namespace {

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

CueSheetWriter::CueSheetWriter(const DiscToc& toc, const DiscIds& ids, std::string program)
    : toc_(toc), ids_(ids), program_(std::move(program))
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
    return text;
}

std::string CueSheetWriter::flags(const TocTrack& track)
{
    std::string list;
    if (track.copyPermitted()) list += " DCP";
    if (track.audio() && (track.control & TrackControl::kFourChannel)) list += " 4CH";
    if (track.preEmphasis()) list += " PRE";
    return list.empty() ? std::string() : "    FLAGS" + list + "\n";
}

std::optional<std::string> CueSheetWriter::trackFiles(const std::vector<std::string>& files,
                                                      const std::string& fileType) const
{
    std::string text = header();
    size_t file = 0;
    for (const TocTrack& track : toc_.tracks) {
        if (!track.audio()) continue;
        if (file >= files.size() || !fitsInQuotes(files[file])) return std::nullopt;
        text += "FILE \"" + files[file++] + "\" " + fileType + "\n";
        text += trackLine(track.number, "AUDIO");
        text += flags(track);
        if (&track == &toc_.tracks.front() && track.start > 0) text += "    PREGAP " + time(track.start) + "\n";
        text += "    INDEX 01 00:00:00\n";
    }
    if (file != files.size()) return std::nullopt;
    return text;
}

std::optional<std::string> CueSheetWriter::discImage(const std::string& binName) const
{
    if (!fitsInQuotes(binName)) return std::nullopt;
    std::string text = header();
    text += "FILE \"" + binName + "\" BINARY\n";
    for (const TocTrack& track : toc_.tracks) {
        text += trackLine(track.number, track.audio() ? "AUDIO" : "MODE1/2352");
        text += flags(track);
        if (&track == &toc_.tracks.front() && track.start > 0) text += "    INDEX 00 00:00:00\n";
        text += "    INDEX 01 " + time(track.start) + "\n";
    }
    return text;
}

}  // namespace rilvane::proof
