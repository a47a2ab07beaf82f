// CUE sheets for what a rescue leaves: one for the track files (one FILE per
// audio track, each holding its track from INDEX 01 to the next track, so a
// track's pregap sits at the end of the file before it) and one for the
// whole-disc working copy (one BIN of raw sectors from sector 0 to the
// lead-out). Both carry the disc ids as REM lines and the TOC's control bits
// as FLAGS (PRE: pre-emphasis, DCP: digital copy permitted, 4CH).
//
// The table of contents holds only where each track's INDEX 01 lies. Audio
// before the first track (sector 0 up to its INDEX 01) is that track's
// pregap: INDEX 00 in the working copy's sheet; the track files do not hold
// it, so their sheet names it as PREGAP (silence when burnt).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "proof/DiscFacts.h"
#include "proof/DiscIds.h"
#include "proof/DiscToc.h"

namespace rilvane::proof {

class CueSheetWriter {
public:
    // `facts`, when given, adds what the sub-channel and CD-Text said:
    // CATALOG, TITLE, PERFORMER, ISRC, the pregaps (INDEX 00) and INDEX 02
    // on; the track files' sheet puts a pregap at the end of the file before
    // it, and the audio before the first track into the hidden track's file.
    CueSheetWriter(const DiscToc& toc, const DiscIds& ids, std::string program, const DiscFacts* facts = nullptr);

    // The sheet for the track files: `files[i]` is the file (a name beside
    // the sheet) of the i-th audio track of the TOC; `fileType` is WAVE for
    // WAV and FLAC files alike (what players and burners expect). Empty
    // when a name cannot stand in a CUE sheet (a quote or a line break).
    std::optional<std::string> trackFiles(const std::vector<std::string>& files,
                                          const std::string& fileType = "WAVE") const;

    // The sheet for the working copy `binName`: every track of the TOC, data
    // tracks as MODE1/2352.
    std::optional<std::string> discImage(const std::string& binName) const;

    // `sectors` as the sheets write times: mm:ss:ff, 75 frames a second.
    static std::string time(int64_t sectors);

private:
    std::string header() const;
    std::string flags(const TocTrack& track) const;
    // TITLE, PERFORMER and ISRC of a track, where known.
    std::string trackFacts(const TocTrack& track) const;
    // The pregap's start of a track, where known and before the track.
    std::optional<int32_t> pregapOf(const TocTrack& track) const;

    const DiscToc& toc_;
    const DiscIds& ids_;
    std::string program_;
    const DiscFacts* facts_;
};

}  // namespace rilvane::proof
