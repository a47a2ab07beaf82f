// What rilvane-rip shows while it reads: the program's log lines, each with
// the place on the disc of the read it belongs to, and one progress line
// per pass (pass, percent, speed, time left, failed reads), redrawn in place
// on a terminal and written as plain lines (at the start, every tenth and at
// the end) everywhere else. Every line also goes to the log file, when one
// is open.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "drive/LogSink.h"
#include "platform/OwnFiles.h"

namespace rilvane::riptool {

class RescueConsole : public LogSink {
public:
    RescueConsole(std::ostream& out, bool terminal);

    // Lines go to `path` too from now on (appended; only to a regular
    // file, never through a link). False with `problem` saying what is
    // wrong ("ist ein Ordner, keine Datei") when it cannot be opened.
    bool openLogFile(const std::string& path, std::string& problem);
    // Writes a line into the log file only.
    void fileLine(const std::string& line);
    // Whether every line reached the log file.
    bool logFileFailed() const { return logFailed_; }
    void closeLogFile();

    // A log line; while a pass runs it carries the track and the time in
    // the track of the read it belongs to.
    void logLine(const std::string& line) override;

    // Lines logged from now on wait until release(); release(true) drops
    // them (the drive's error line of a read that failed because the drive
    // is gone says nothing true).
    void hold() { holding_ = true; }
    // With `quiet`, the lines go into the log file only (the single-sector
    // reads of narrowing and retrying fail by the hundred).
    void release(bool drop, bool quiet = false);

    // The start sector of every track, for the places in log lines.
    void setTrackStarts(std::vector<int32_t> starts) { starts_ = std::move(starts); }

    void startPass(int number, const std::string& name, int64_t sectors);
    // A new round of the same pass, over `sectors` sectors.
    void startRound(const std::string& label, int64_t sectors);
    // The read at `sector` is about to be made.
    void reading(int32_t sector) { readingSector_ = sector; }
    // `done` of the pass's sectors are handled; `failed` reads failed.
    void progress(int64_t done, int64_t failed);
    void finishPass(int64_t reads, int64_t failed);

private:
    std::string line() const;
    std::string place() const;
    void draw(bool force);
    void put(const std::string& text);

    using Clock = std::chrono::steady_clock;
    std::ostream& out_;
    bool terminal_;
    std::unique_ptr<platform::AppendFile> logFile_;
    bool logFailed_ = false;
    std::vector<int32_t> starts_;
    bool holding_ = false;
    std::vector<std::string> held_;
    bool inPass_ = false;
    bool lineShown_ = false;  // a progress line stands unfinished on the terminal
    int pass_ = 0;
    std::string name_;
    int64_t total_ = 0;
    int64_t done_ = 0;
    int64_t failed_ = 0;
    int32_t readingSector_ = 0;
    int lastTenth_ = -1;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};

// "3:12" or "1:02:03": a duration in seconds for people.
std::string durationText(double seconds);

}  // namespace rilvane::riptool
