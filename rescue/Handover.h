// What rilvane-rip hands over once the reading is done: the track files
// from the rescued audio (WAV or FLAC, the read offset applied), their
// checksums, the disc's ids, the CUE sheet of the track files and the sealed
// log, and the lines of the summary that show them.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "rescue/SubchannelScan.h"
#include "rescue/TrackExport.h"
#include "proof/AccurateRipDatabase.h"
#include "proof/DiscIds.h"
#include "proof/DiscToc.h"
#include "proof/RipLog.h"

namespace rilvane::rescue {

struct HandoverOptions {
    AudioFormat format = AudioFormat::Wav;
    int offset = 0;
    bool karaoke = false;
    std::string program;  // "rilvane-rip 1.0", for the CUE sheet and the log
};

// How one track came out.
struct HandedTrack {
    int number = 0;
    std::string file;  // empty: none was written
    std::optional<proof::Checksums> checksums;
    bool fileFailed = false;
    std::string problem;
    std::optional<proof::AccurateRipMatch> accurateRip;  // when a database file was given
};

class Handover {
public:
    Handover(proof::DiscToc toc, HandoverOptions options);

    const proof::DiscToc& toc() const { return toc_; }
    const proof::DiscIds& ids() const { return ids_; }

    // What the sub-channel and CD-Text said: from now on in the CUE sheets
    // and the FLAC files' comments.
    void setSubchannel(SubchannelFindings findings) { subchannel_ = std::move(findings); }
    const SubchannelFindings& subchannel() const { return subchannel_; }
    const proof::DiscFacts& facts() const { return subchannel_.facts; }
    // The file of the audio before the first track, once written.
    void setHiddenTrackFile(const std::string& name) { subchannel_.facts.hiddenTrackFile = name; }

    // Track `number` (sectors `first` .. `end`) from `source` into `path`
    // (empty: checksums only).
    HandedTrack exportTrack(proof::SectorSource& source, int number, int32_t first, int32_t end,
                            const std::string& path) const;

    // Compares the tracks' sums with `database` from now on.
    void compareWith(proof::AccurateRipDatabase database) { database_ = std::move(database); }

    // How a comparison came out, in words (German).
    static std::string describe(const proof::AccurateRipMatch& match);

    // The Vorbis comments of a FLAC file of track `number`.
    proof::VorbisComments comments(int number) const;

    // The CUE sheet of the track files (names beside it, one per audio track
    // of the disc, in order); false with the reason in `problem`.
    bool writeTrackCue(const std::string& path, const std::vector<std::string>& names, std::string& problem) const;

    // The summary's lines for the ids and the checksums, and the verdict.
    void printSummary(std::ostream& out, const std::vector<HandedTrack>& tracks,
                      const proof::LogContents& contents) const;

private:
    proof::DiscToc toc_;
    HandoverOptions options_;
    proof::DiscIds ids_;
    std::optional<proof::AccurateRipDatabase> database_;
    SubchannelFindings subchannel_;
};

// Writes `text` as the file `path`; false with the system's reason.
bool writeTextFile(const std::string& path, const std::string& text, std::string& problem);

}  // namespace rilvane::rescue
