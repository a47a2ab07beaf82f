// The log a rescue leaves beside its files: what was read with what, how
// each track came out, its checksums, the disc's ids, and a last plain line
// whether the disc came out whole. The log ends with a seal: the SHA-256 of
// everything before it, so that a log changed afterwards (by hand or by an
// editor that re-encodes it) no longer matches. Anyone can compute a new
// seal for a changed text; the seal shows changes, it does not prove who
// wrote the log.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "proof/DiscIds.h"
#include "proof/DiscToc.h"
#include "proof/TrackChecksums.h"

namespace rilvane::proof {

using LogFigures = std::vector<std::pair<std::string, std::string>>;

struct LogTrack {
    int number = 0;
    std::string file;                // empty when none was written
    LogFigures figures;              // the rescue's figures, label and value, in order
    int64_t missingSectors = 0;      // sectors that could not be read (silence in the file)
    std::vector<std::string> missingRanges;  // where, as the summary writes them
    int64_t suspectSectors = 0;      // a reading is kept, but it could not be confirmed
    int64_t unconfirmedSectors = 0;  // read once, nothing confirmed the reading
    std::vector<std::string> suspectRanges;
    std::optional<Checksums> checksums;
    bool fileFailed = false;         // the file could not be written whole
    std::string accurateRip;         // how the sums compare with the AccurateRip database, if asked
};

struct LogContents {
    std::string program;             // "rilvane-rip 1.0"
    std::string date;                // when the rescue ended
    std::string drive;
    std::string transport;
    int readOffset = 0;              // samples
    std::string options;             // the command line's options
    std::string format;              // "WAV" or "FLAC"
    DiscToc toc;
    DiscIds ids;
    LogFigures discFigures;          // the rescue's figures for the whole disc
    std::vector<LogTrack> tracks;    // the audio tracks that were rescued
    bool allTracksChosen = true;     // every audio track of the disc is in `tracks`
    bool interrupted = false;
    bool scanOnly = false;           // read to see, nothing was saved
    bool verificationSkipped = false;  // nothing was read a second time to confirm it
};

class RipLog {
public:
    // The log's text, sealed.
    static std::string text(const LogContents& contents) { return seal(body(contents)); }
    // The same without the seal, to be appended to a log kept over several
    // runs and sealed as a whole.
    static std::string body(const LogContents& contents);

    // The final verdict line alone (also the summary's last line).
    static std::string verdict(const LogContents& contents);

    enum class Seal { Valid, Broken, Missing };
    // Checks the seal at the end of a log's text: anything after the last
    // seal counts as a change.
    static Seal check(const std::string& text);

    // What follows the last seal of a log.
    enum class Tail {
        None,         // nothing: the seal ends the log
        Run,          // a run's opening line and what it wrote: a run that never ended
        Lines,        // other lines
    };
    struct SealReport {
        Seal seal = Seal::Missing;  // of the log up to its last seal
        int sealedRuns = 0;         // runs the log holds up to its last seal
        std::string lastDate;       // the date of the last sealed run
        Tail tail = Tail::None;
        size_t tailLines = 0;
    };
    // Checks the last seal of a log and says what follows it. A log kept
    // over several runs carries one seal per run, each over everything
    // before it; a run that was killed leaves lines without a seal.
    static SealReport inspect(const std::string& text);

    // Appends the seal line to `body` (which ends with a line break).
    static std::string seal(const std::string& body);
};

// `sectors` as mm:ss.ff (ff: sectors, 75 a second).
std::string discTime(int64_t sectors);

}  // namespace rilvane::proof
