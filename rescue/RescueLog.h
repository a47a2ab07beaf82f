// The log of a rescue: every line and every event of a rescue goes through
// it, into the log file (when one is open) and on to the observer.
//
// Lines logged while a pass runs carry the place on the disc of the read
// they belong to. The drive's own lines for a read are held until the read
// is over: then they are dropped (the read failed because the drive is gone,
// so what they say is not true), written to the log file only (single-sector
// reads of narrowing and retrying fail by the hundred) or passed on.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drive/LogSink.h"
#include "platform/OwnFiles.h"
#include "rescue/RescueObserver.h"

namespace rilvane::rescue {

class RescueLog : public LogSink {
public:
    explicit RescueLog(RescueObserver& observer) : observer_(observer) {}

    RescueObserver& observer() { return observer_; }

    // Lines go to `path` too from now on (appended; only to a regular
    // file, never through a link). False with `problem` saying what is
    // wrong ("ist ein Ordner, keine Datei") when it cannot be opened.
    bool openFile(const std::string& path, std::string& problem);
    // Writes a line into the log file only.
    void fileLine(const std::string& line);
    // Whether every line reached the log file.
    bool fileFailed() const { return fileFailed_; }
    void closeFile();

    // A line of the set-up or of the drive (while held).
    void logLine(const std::string& line) override;
    void line(LineKind kind, const std::string& text);

    void hold() { holding_ = true; }
    void release(bool drop, bool quiet);

    // The start sector of every track, for the places in log lines.
    void setTrackStarts(std::vector<int32_t> starts) { starts_ = std::move(starts); }

    void passStarted(PassId pass, Round round, int64_t sectors);
    void reading(int32_t sector);
    void progress(int64_t done, int64_t failed);
    // `complete`: the pass ran to its end (not stopped).
    void passFinished(int64_t reads, int64_t failed, bool complete);

private:
    void put(LineKind kind, const std::string& text, bool fileOnly);

    using Clock = std::chrono::steady_clock;
    RescueObserver& observer_;
    std::unique_ptr<platform::AppendFile> file_;
    bool fileFailed_ = false;
    std::vector<int32_t> starts_;
    bool holding_ = false;
    std::vector<std::string> held_;
    bool inPass_ = false;
    PassId pass_ = PassId::Copy;
    std::string name_;
    int64_t total_ = 0;
    int64_t done_ = 0;
    int32_t readingSector_ = 0;
    Clock::time_point started_;
};

}  // namespace rilvane::rescue
