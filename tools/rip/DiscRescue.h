// What rilvane-rip does: finds the drive as the window does, reads the
// table of contents once, then rescues the disc with the rescue engine into
// a whole-disc working copy and its map (continuing where an earlier run on
// the same output stopped), and writes a WAV file per chosen audio track
// from the working copy (or only reads, with --scan).
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Handover.h"
#include "platform/FolderLock.h"

#include "RescueConsole.h"
#include "RescueReport.h"
#include "RipToolArguments.h"

namespace rilvane {
class BlockReader;
}

namespace rilvane::riptool {

class RescueEngine;
class RescueMap;
class WorkingCopy;

struct ExitCode {
    static constexpr int kAllRead = 0;
    static constexpr int kBlocksFailed = 1;
    static constexpr int kUsage = 2;
    static constexpr int kNoDisc = 3;
    static constexpr int kInterrupted = 130;
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

class DiscRescue {
public:
    // Log lines and progress go to `console`, the summary to `out`.
    DiscRescue(const RipToolArguments& args, RescueConsole& console, std::ostream& out);

    // Runs the whole rescue and returns the exit code.
    int run();

    // The READ CD time-out of the tool: long enough for a drive's own
    // retries on a bad sector, short enough that Ctrl+C is heard soon.
    static constexpr uint32_t kReadTimeoutSeconds = 30;

private:
    int rescue();
    int refuse(int code, const std::string& problem);
    int finish(int code);
    bool writeTrackFiles(const RescueMap& map, const WorkingCopy* copy);
    // The CUE sheet of the track files, when every audio track has its file.
    bool writeTrackCue();
    // Appends the log's closing part and seals the whole log.
    bool sealLog();
    proof::LogContents logContents() const;
    // The disc's own number of the track at `place` in the table of contents.
    int tocNumber(int place) const;
    void fillReport(const RescueMap& map, const RescueEngine& engine);

    const RipToolArguments& args_;
    RescueConsole& console_;
    std::ostream& out_;
    RescueReport report_;
    TransportMode mode_ = TransportMode::Spti;
    std::unique_ptr<Handover> handover_;  // once the table of contents is known
    std::vector<HandedTrack> handed_;
    std::string logPath_;                 // empty: no log file
    bool reportAllowed_ = true;  // false when writing it would overwrite what must stay
    std::unique_ptr<platform::FolderLock> folderLock_;  // held from before the map is read to the end
};

}  // namespace rilvane::riptool
