#include "CueSheet.h"

#include "TextInput.h"

#include "CdText.h"

#include <algorithm>

namespace rilvane::vdrive {

namespace {

// Largest minute value accepted in mm:ss:ff (the disc limit is checked anyway).
constexpr int64_t kMaxMinutes = 999;

std::optional<int64_t> parseTime(std::string_view s)
{
    const size_t c1 = s.find(':');
    if (c1 == std::string_view::npos)
        return std::nullopt;
    const size_t c2 = s.find(':', c1 + 1);
    if (c2 == std::string_view::npos)
        return std::nullopt;
    const auto mm = parseDecimal(s.substr(0, c1), kMaxMinutes);
    const std::string_view ssText = s.substr(c1 + 1, c2 - c1 - 1);
    const std::string_view ffText = s.substr(c2 + 1);
    if (ssText.size() > 2 || ffText.size() > 2)
        return std::nullopt;
    const auto ss = parseDecimal(ssText, 59);
    const auto ff = parseDecimal(ffText, kFramesPerSecond - 1);
    if (!mm || !ss || !ff)
        return std::nullopt;
    return (*mm * 60 + *ss) * kFramesPerSecond + *ff;
}

std::string twoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isUpperAlnum(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z');
}

// CCOOOYYNNNNN: country and owner letters or digits, year and number digits.
bool validIsrc(const std::string& isrc)
{
    if (isrc.size() != 12)
        return false;
    for (size_t i = 0; i < 12; ++i)
        if (!(i < 5 ? isUpperAlnum(isrc[i]) : isDigit(isrc[i])))
            return false;
    return true;
}

struct Insertion {
    int64_t point;  // position in the concatenated files before which the silence lies
    int64_t count;
};

}  // namespace

std::optional<CueSheet> CueSheet::parse(std::string_view text, const std::string& name, std::string& error)
{
    CueSheet sheet;
    sheet.name_ = name;
    const std::vector<std::string_view> lines = splitLines(text);
    sheet.lastLine_ = std::max<size_t>(lines.size(), 1);

    auto fail = [&](size_t line, const std::string& message) {
        error = lineError(name, line, message);
        return std::nullopt;
    };
    auto checkIndex01 = [&](const CueTrack& track) {
        for (const CueIndex& index : track.indexes)
            if (index.number == 1)
                return true;
        error = lineError(name, track.line, "track " + twoDigits(track.number) + " has no INDEX 01");
        return false;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNo = i + 1;
        const auto tokens = tokenize(lines[i]);
        if (!tokens)
            return fail(lineNo, "unterminated quote");
        if (tokens->empty())
            continue;
        const std::string& keyword = (*tokens)[0];
        const size_t args = tokens->size() - 1;
        CueTrack* track = sheet.tracks_.empty() ? nullptr : &sheet.tracks_.back();

        if (equalsIgnoreCase(keyword, "REM") || equalsIgnoreCase(keyword, "CDTEXTFILE"))
            continue;  // descriptive only
        if (equalsIgnoreCase(keyword, "TITLE") || equalsIgnoreCase(keyword, "PERFORMER") ||
            equalsIgnoreCase(keyword, "SONGWRITER")) {
            if (args == 0)
                return fail(lineNo, keyword + " needs a quoted text");
            // Unquoted words are taken as one text, as players read them.
            std::string value = (*tokens)[1];
            for (size_t k = 2; k < tokens->size(); ++k)
                value += " " + (*tokens)[k];
            if (value.size() > kMaxCdTextLength)
                return fail(lineNo, keyword + " is longer than " + std::to_string(kMaxCdTextLength) + " bytes");
            for (const char c : value)
                if (static_cast<unsigned char>(c) < 0x20)
                    return fail(lineNo, keyword + " holds a control character");
            CdTextFields& fields = track ? track->text : sheet.text_;
            std::string& field = equalsIgnoreCase(keyword, "TITLE")       ? fields.title
                                 : equalsIgnoreCase(keyword, "PERFORMER") ? fields.performer
                                                                          : fields.songwriter;
            field = value;
            continue;
        }
        if (equalsIgnoreCase(keyword, "CATALOG")) {
            if (track)
                return fail(lineNo, "CATALOG belongs before the first TRACK");
            if (args != 1 || (*tokens)[1].size() != 13 ||
                !std::all_of((*tokens)[1].begin(), (*tokens)[1].end(), isDigit))
                return fail(lineNo, "CATALOG needs 13 digits");
            sheet.catalog_ = (*tokens)[1];
            continue;
        }
        if (equalsIgnoreCase(keyword, "ISRC")) {
            if (!track)
                return fail(lineNo, "ISRC outside a TRACK");
            if (args != 1 || !validIsrc((*tokens)[1]))
                return fail(lineNo, "ISRC needs 12 characters: 5 letters or digits, then 7 digits (CCOOOYYNNNNN)");
            track->isrc = (*tokens)[1];
            continue;
        }
        if (equalsIgnoreCase(keyword, "FILE")) {
            if (args != 2)
                return fail(lineNo, "FILE needs a quoted file name and a type (BINARY or WAVE)");
            if ((*tokens)[1].empty())
                return fail(lineNo, "FILE has an empty file name");
            if (sheet.files_.size() >= static_cast<size_t>(kMaxCueFiles))
                return fail(lineNo, "more than " + std::to_string(kMaxCueFiles) + " FILE lines");
            CueFile file;
            file.name = (*tokens)[1];
            file.line = lineNo;
            if (equalsIgnoreCase((*tokens)[2], "BINARY"))
                file.type = CueFileType::Binary;
            else if (equalsIgnoreCase((*tokens)[2], "WAVE"))
                file.type = CueFileType::Wave;
            else
                return fail(lineNo, "unsupported file type '" + (*tokens)[2] + "' (BINARY or WAVE)");
            sheet.files_.push_back(std::move(file));
            continue;
        }
        if (equalsIgnoreCase(keyword, "TRACK")) {
            if (sheet.files_.empty())
                return fail(lineNo, "TRACK before any FILE");
            if (args != 2)
                return fail(lineNo, "TRACK needs a number and a mode (AUDIO or MODE1/2352)");
            const std::string& numberText = (*tokens)[1];
            const auto number = numberText.size() <= 2 ? parseDecimal(numberText, kMaxTracks) : std::nullopt;
            if (!number || *number < 1)
                return fail(lineNo, "bad track number '" + numberText + "' (01 to 99)");
            if (track) {
                if (!checkIndex01(*track))
                    return std::nullopt;
                if (*number != track->number + 1)
                    return fail(lineNo, "track " + twoDigits(static_cast<int>(*number)) + " does not follow track " +
                                            twoDigits(track->number));
            }
            CueTrack next;
            next.number = static_cast<int>(*number);
            next.line = lineNo;
            if (equalsIgnoreCase((*tokens)[2], "AUDIO"))
                next.mode = TrackMode::Audio;
            else if (equalsIgnoreCase((*tokens)[2], "MODE1/2352"))
                next.mode = TrackMode::Mode1;
            else
                return fail(lineNo, "unsupported track mode '" + (*tokens)[2] + "' (AUDIO or MODE1/2352)");
            sheet.tracks_.push_back(std::move(next));
            continue;
        }
        if (equalsIgnoreCase(keyword, "INDEX")) {
            if (!track)
                return fail(lineNo, "INDEX outside a TRACK");
            if (args != 2)
                return fail(lineNo, "INDEX needs a number and a time mm:ss:ff");
            const std::string& numberText = (*tokens)[1];
            const auto number = numberText.size() <= 2 ? parseDecimal(numberText, 99) : std::nullopt;
            if (!number)
                return fail(lineNo, "bad index number '" + numberText + "' (00 to 99)");
            const auto time = parseTime((*tokens)[2]);
            if (!time)
                return fail(lineNo, "bad time '" + (*tokens)[2] + "' (mm:ss:ff, 75 frames a second)");
            if (*time >= kMaxDiscSectors)
                return fail(lineNo, "time '" + (*tokens)[2] + "' lies beyond the largest disc");
            if (track->indexes.empty()) {
                if (*number > 1)
                    return fail(lineNo, "the first index of a track must be INDEX 00 or INDEX 01");
            } else if (*number != track->indexes.back().number + 1) {
                return fail(lineNo, "INDEX " + twoDigits(static_cast<int>(*number)) + " does not follow INDEX " +
                                        twoDigits(track->indexes.back().number));
            }
            CueIndex index;
            index.number = static_cast<int>(*number);
            index.file = sheet.files_.size() - 1;
            index.fileSector = *time;
            index.line = lineNo;
            track->indexes.push_back(index);
            continue;
        }
        if (equalsIgnoreCase(keyword, "PREGAP") || equalsIgnoreCase(keyword, "POSTGAP")) {
            const bool pre = equalsIgnoreCase(keyword, "PREGAP");
            if (!track)
                return fail(lineNo, keyword + " outside a TRACK");
            if (args != 1)
                return fail(lineNo, keyword + " needs a time mm:ss:ff");
            const auto time = parseTime((*tokens)[1]);
            if (!time)
                return fail(lineNo, "bad time '" + (*tokens)[1] + "' (mm:ss:ff, 75 frames a second)");
            if (*time >= kMaxDiscSectors)
                return fail(lineNo, "time '" + (*tokens)[1] + "' lies beyond the largest disc");
            int64_t& gap = pre ? track->pregapSectors : track->postgapSectors;
            if (gap != 0)
                return fail(lineNo, "second " + keyword + " for the same track");
            if (pre && !track->indexes.empty())
                return fail(lineNo, "PREGAP must come before the track's INDEX lines");
            if (!pre && track->indexes.empty())
                return fail(lineNo, "POSTGAP must come after the track's INDEX lines");
            gap = *time;
            continue;
        }
        if (equalsIgnoreCase(keyword, "FLAGS")) {
            if (!track)
                return fail(lineNo, "FLAGS outside a TRACK");
            uint8_t flags = 0;
            for (size_t k = 1; k < tokens->size(); ++k) {
                const std::string& flag = (*tokens)[k];
                if (equalsIgnoreCase(flag, "PRE"))
                    flags |= 0x1;
                else if (equalsIgnoreCase(flag, "DCP"))
                    flags |= 0x2;
                else if (equalsIgnoreCase(flag, "4CH"))
                    flags |= 0x8;
                else if (!equalsIgnoreCase(flag, "SCMS"))
                    return fail(lineNo, "unknown flag '" + flag + "' (DCP, 4CH, PRE or SCMS)");
            }
            track->flags = flags;
            continue;
        }
        return fail(lineNo, "unknown command '" + keyword + "'");
    }

    if (sheet.tracks_.empty())
        return fail(sheet.lastLine_, "no TRACK in the sheet");
    if (!checkIndex01(sheet.tracks_.back()))
        return std::nullopt;
    if (cdTextPackCount(sheet) > kMaxCdTextPacks)
        return fail(sheet.lastLine_, "the CD-Text (TITLE, PERFORMER, SONGWRITER) is too long for one disc");
    return sheet;
}

bool CueSheet::layout(const std::vector<int64_t>& fileSectors, std::string& error)
{
    if (fileSectors.size() != files_.size()) {
        error = name_ + ": internal error: " + std::to_string(fileSectors.size()) + " file lengths for " +
                std::to_string(files_.size()) + " files";
        return false;
    }
    std::vector<int64_t> fileStart(files_.size());
    int64_t filesTotal = 0;
    for (size_t f = 0; f < files_.size(); ++f) {
        if (fileSectors[f] < 0 || fileSectors[f] > kMaxDiscSectors - filesTotal) {
            error = lineError(name_, files_[f].line,
                              "the disc would be longer than " + std::to_string(kMaxDiscSectors) + " sectors");
            return false;
        }
        fileStart[f] = filesTotal;
        files_[f].sectors = fileSectors[f];
        filesTotal += fileSectors[f];
    }

    // Every index must lie inside its file, and each must come after the one before.
    int64_t previous = -1;
    for (const CueTrack& track : tracks_) {
        for (const CueIndex& index : track.indexes) {
            const CueFile& file = files_[index.file];
            if (index.fileSector >= file.sectors) {
                error = lineError(name_, index.line,
                                  "INDEX " + twoDigits(index.number) + " lies beyond the end of '" + file.name +
                                      "' (" + std::to_string(file.sectors) + " sectors)");
                return false;
            }
            const int64_t position = fileStart[index.file] + index.fileSector;
            if (position <= previous) {
                error = lineError(name_, index.line,
                                  "INDEX " + twoDigits(index.number) + " does not come after the index before it");
                return false;
            }
            previous = position;
        }
    }

    auto positionOf = [&](const CueIndex& index) { return fileStart[index.file] + index.fileSector; };
    std::vector<Insertion> insertions;
    int64_t silentTotal = 0;
    for (size_t t = 0; t < tracks_.size(); ++t) {
        const int64_t first = positionOf(tracks_[t].indexes.front());
        if (t > 0 && tracks_[t - 1].postgapSectors > 0)
            insertions.push_back({first, tracks_[t - 1].postgapSectors});
        if (tracks_[t].pregapSectors > 0)
            insertions.push_back({first, tracks_[t].pregapSectors});
    }
    if (tracks_.back().postgapSectors > 0)
        insertions.push_back({filesTotal, tracks_.back().postgapSectors});
    for (const Insertion& insertion : insertions) {
        silentTotal += insertion.count;
        if (silentTotal > kMaxDiscSectors - filesTotal) {
            error = lineError(name_, tracks_.back().line,
                              "the disc would be longer than " + std::to_string(kMaxDiscSectors) + " sectors");
            return false;
        }
    }

    // Disc address of a position in the concatenated files: silence inserted
    // at or before it pushes it back.
    auto discAddress = [&](int64_t position) {
        int64_t address = position;
        for (const Insertion& insertion : insertions)
            if (insertion.point <= position)
                address += insertion.count;
        return address;
    };
    for (CueTrack& track : tracks_) {
        for (CueIndex& index : track.indexes) {
            index.address = discAddress(positionOf(index));
            if (index.number == 1)
                track.start = index.address;
        }
        track.regionStart = discAddress(positionOf(track.indexes.front())) - track.pregapSectors;
    }
    // Whatever lies before track 1's first index is its INDEX 00 all the same.
    tracks_.front().regionStart = 0;

    segments_.clear();
    int64_t position = 0;
    int64_t sector = 0;
    auto emitFiles = [&](int64_t until) {
        for (size_t f = 0; f < files_.size() && position < until; ++f) {
            const int64_t fileEnd = fileStart[f] + files_[f].sectors;
            if (position >= fileEnd)
                continue;
            const int64_t count = std::min(fileEnd, until) - position;
            segments_.push_back({sector, count, false, f, position - fileStart[f]});
            position += count;
            sector += count;
        }
    };
    for (const Insertion& insertion : insertions) {
        emitFiles(insertion.point);
        segments_.push_back({sector, insertion.count, true, 0, 0});
        sector += insertion.count;
    }
    emitFiles(filesTotal);
    leadOut_ = sector;
    for (size_t f = 0; f < files_.size(); ++f)
        files_[f].firstSector = discAddress(fileStart[f]);
    return true;
}

bool CueSheet::hasCdText() const
{
    if (!text_.empty())
        return true;
    return std::any_of(tracks_.begin(), tracks_.end(), [](const CueTrack& t) { return !t.text.empty(); });
}

int CueSheet::indexOf(const CueTrack& track, int64_t sector) const
{
    if (sector < track.start)
        return 0;
    int index = 1;
    for (const CueIndex& i : track.indexes)
        if (i.number >= 1 && i.address <= sector)
            index = i.number;
    return index;
}

const CueTrack& CueSheet::trackOf(int64_t sector) const
{
    for (size_t t = tracks_.size(); t-- > 1;)
        if (tracks_[t].regionStart <= sector)
            return tracks_[t];
    return tracks_.front();
}

}  // namespace rilvane::vdrive
