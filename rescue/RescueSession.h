// A whole rescue of a disc: finds the drive as the window does, reads the
// table of contents once, then rescues the disc with the rescue engine into
// a whole-disc working copy and its map in the output folder (continuing
// where an earlier run on the same folder stopped), and writes a file per
// chosen audio track from the working copy (or only reads, with `scan`),
// the CUE sheets, the JSON report when asked and the sealed log.
//
// Threads: run() does all of it on the calling thread, which may be a
// worker thread; events reach the observer on that thread. The stop token
// may be triggered from any thread: the rescue then ends at its next check,
// saves the map and still writes the files and the log of what it has. The
// session's map may be read meanwhile through map() and
// RescueMap::snapshot() (map() is null until the reading begins).
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drive/DriveTable.h"
#include "platform/FolderLock.h"
#include "rescue/FileNamePattern.h"
#include "rescue/Handover.h"
#include "rescue/RescueLog.h"
#include "rescue/RescueObserver.h"
#include "rescue/RescueReport.h"
#include "rescue/StopToken.h"

namespace rilvane::rescue {

class RescueEngine;
class RescueMap;
class WorkingCopy;

// What to rescue, and how.
struct RescueRequest {
    int drive = 0;                // index into the drive list, as rilvane-probe lists it
    std::set<int> tracks;         // empty: every track of the disc
    std::string outDir = ".";
    FileNamePattern name;
    bool karaoke = false;
    bool scan = false;            // read only: no working copy, no files
    std::string reportPath;       // empty: no JSON report
    bool force = false;           // files that are there may be overwritten
    int offset = 0;               // the drive's read offset correction, in samples
    bool flac = false;            // FLAC files instead of WAV
    std::string accurateRipFile;  // the disc's file from the AccurateRip database, to compare with
    int retries = 10;             // more single-sector reads of a sector still missing
    int passes = 3;               // 1 copy, 2 and narrow, 3 and retry
    bool verify = true;           // confirm by a second reading what nothing else proves
    bool verifyAll = false;       // read every sector a second time, also where C2 confirms it
    std::optional<long> maxSeconds;
    int cacheSectors = 2400;      // sectors read elsewhere to empty the drive's cache
    bool cacheSectorsGiven = false;  // the size stands; none is learnt
    int retrySpeed = 8;           // × for narrowing and retries; 0: the drive's own
    std::string program = "rilvane";  // name and version, for the CUE sheets and the log
    std::string options;          // the options as a command line gives them, for the log
};

// How a rescue ended.
enum class RescueResult {
    Complete,    // every chosen sector read and every file written
    Incomplete,  // sectors missing or suspect, a file or the log not written, or the drive or disc gone
    BadRequest,  // refused before reading: the request does not fit the disc or the files there
    NoDisc,      // no drive, no disc, no table of contents, or another disc than the folder's
    Stopped,     // the stop token was triggered
};

struct RescueOutcome {
    RescueResult result = RescueResult::Complete;
    RescueReport report;
};

// The files of a rescue in its output folder.
struct RescueFiles {
    static constexpr const char* kWorkingCopy = "disc.bin";
    static constexpr const char* kCueSheet = "disc.cue";
    static constexpr const char* kMap = "disc.map";
    static constexpr const char* kLog = "disc.log";
    static constexpr const char* kTrackCueSheet = "tracks.cue";  // the track files'
    static constexpr const char* kLock = "disc.lock";            // there while a run works in the folder
};

class RescueSession {
public:
    RescueSession(RescueRequest request, RescueObserver& observer, const StopToken& stop);
    ~RescueSession();

    // Runs the whole rescue, once.
    RescueOutcome run();

    // The map of the disc while it is read; null before. Read it from other
    // threads only through RescueMap::snapshot().
    const RescueMap* map() const { return mapShown_.load(std::memory_order_acquire); }

    // The READ CD time-out of a rescue: long enough for a drive's own
    // retries on a bad sector, short enough that a stop is heard soon.
    static constexpr uint32_t kReadTimeoutSeconds = 30;

private:
    RescueResult rescue();
    RescueResult refuse(RescueResult code, const std::string& problem);
    RescueResult finish(RescueResult code);
    bool writeTrackFiles(const RescueMap& map, const WorkingCopy* copy);
    // The CUE sheet of the track files, when every audio track has its file.
    bool writeTrackCue();
    // Appends the log's closing part and seals the whole log.
    bool sealLog();
    proof::LogContents logContents() const;
    // The disc's own number of the track at `place` in the table of contents.
    int tocNumber(int place) const;
    void fillReport(const RescueMap& map, const RescueEngine& engine);

    const RescueRequest request_;
    RescueLog log_;
    const StopToken& stop_;
    RescueReport report_;
    TransportMode mode_ = TransportMode::Spti;
    std::unique_ptr<Handover> handover_;  // once the table of contents is known
    std::vector<HandedTrack> handed_;
    std::unique_ptr<RescueMap> map_;
    std::atomic<const RescueMap*> mapShown_{nullptr};
    std::string logPath_;        // empty: no log file
    std::string mapPath_;        // empty: no map file
    bool reportAllowed_ = true;  // false when writing it would overwrite what must stay
    std::unique_ptr<platform::FolderLock> folderLock_;  // held from before the map is read to the end
};

}  // namespace rilvane::rescue
