#include "RescueConsole.h"

#include <algorithm>
#include <cstdio>

#include "RescueReport.h"
#include "ToolFiles.h"

namespace rilvane::riptool {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

std::string durationText(double seconds)
{
    if (seconds < 0) seconds = 0;
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

RescueConsole::RescueConsole(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

bool RescueConsole::openLogFile(const std::string& path, std::string& problem)
{
    platform::FileProblem trouble;
    logFile_ = platform::openAppendFile(platform::FilePath::fromUtf8(path), trouble);
    if (!logFile_) problem = fileProblemText(trouble, 0, "lässt sich nicht anlegen");
    return logFile_ != nullptr;
}

void RescueConsole::fileLine(const std::string& line)
{
    if (!logFile_) return;
    // One write a line: a line is in the file whole or not at all.
    const std::string text = line + '\n';
    if (!logFile_->append(text.data(), text.size())) logFailed_ = true;
}

void RescueConsole::closeLogFile()
{
    if (!logFile_) return;
    if (!logFile_->close()) logFailed_ = true;
    logFile_.reset();
}

std::string RescueConsole::place() const
{
    size_t track = 0;
    while (track + 1 < starts_.size() && starts_[track + 1] <= readingSector_) ++track;
    if (starts_.empty()) return "Sektor " + std::to_string(readingSector_) + ": ";
    char text[64];
    std::snprintf(text, sizeof text, "Track %02zu, %s (Sektor %d): ", track + 1,
                  trackTime(int64_t{readingSector_} - starts_[track]).c_str(), readingSector_);
    return text;
}

void RescueConsole::put(const std::string& text)
{
    if (lineShown_) out_ << "\r\033[K";
    out_ << text << '\n';
    lineShown_ = false;
    fileLine(text);
}

void RescueConsole::release(bool drop, bool quiet)
{
    holding_ = false;
    std::vector<std::string> lines;
    lines.swap(held_);
    if (drop) return;
    for (const std::string& line : lines) {
        if (quiet) fileLine(place() + line);
        else logLine(line);
    }
}

void RescueConsole::logLine(const std::string& line)
{
    if (holding_) {
        held_.push_back(line);
        return;
    }
    put(inPass_ ? place() + line : line);
    if (inPass_ && terminal_) draw(true);
    out_.flush();
}

void RescueConsole::startPass(int number, const std::string& name, int64_t sectors)
{
    inPass_ = true;
    pass_ = number;
    name_ = name;
    failed_ = 0;
    startRound("", sectors);
}

void RescueConsole::startRound(const std::string& label, int64_t sectors)
{
    if (!label.empty()) {
        const size_t paren = name_.find(" (");
        name_ = name_.substr(0, paren) + label;
    }
    total_ = sectors;
    done_ = 0;
    lastTenth_ = -1;
    started_ = Clock::now();
    // Elsewhere than on a terminal each round would add ten lines: there
    // a pass shows its tenths only once.
    if (terminal_ || label.empty()) {
        if (sectors > 0) draw(true);
    } else {
        lastTenth_ = 10;
    }
}

void RescueConsole::progress(int64_t done, int64_t failed)
{
    done_ = done;
    failed_ = failed;
    draw(false);
}

void RescueConsole::finishPass(int64_t reads, int64_t failed)
{
    failed_ = failed;
    done_ = total_;
    const std::string text = line() + ", " + std::to_string(reads) + (reads == 1 ? " Lesevorgang" : " Lesevorgänge");
    if (terminal_) {
        out_ << '\r' << text << "\033[K\n";
        fileLine(text);
    } else {
        put(text);
    }
    out_.flush();
    lineShown_ = false;
    inPass_ = false;
}

std::string RescueConsole::line() const
{
    const int64_t done = std::clamp<int64_t>(done_, 0, total_);
    const int percent = total_ <= 0 ? 100 : static_cast<int>(done * 100 / total_);
    // 1x is 75 sectors (176,400 bytes of audio) a second.
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    const double perSecond = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    std::string left = "?";
    if (perSecond > 0) left = durationText(static_cast<double>(total_ - done) / perSecond);
    char text[160];
    std::snprintf(text, sizeof text, "Durchgang %d, %s: %3d %%  %6.1f×  noch %s  %lld %s", pass_, name_.c_str(),
                  percent, perSecond / 75.0, left.c_str(), static_cast<long long>(failed_),
                  failed_ == 1 ? "fehlerhafter Lesevorgang" : "fehlerhafte Lesevorgänge");
    std::string s = text;
    // German decimal comma in the speed.
    if (const size_t x = s.find("×"); x != std::string::npos)
        if (const size_t dot = s.rfind('.', x); dot != std::string::npos) s[dot] = ',';
    return s;
}

void RescueConsole::draw(bool force)
{
    const Clock::time_point now = Clock::now();
    if (terminal_) {
        if (!force && now - lastDrawn_ < kRedrawInterval) return;
        out_ << '\r' << line() << "\033[K";
        out_.flush();
        lineShown_ = true;
    } else {
        const int tenth = total_ <= 0 ? 10 : static_cast<int>(std::clamp<int64_t>(done_, 0, total_) * 10 / total_);
        if (!force && tenth <= lastTenth_) return;
        if (tenth >= 10 && !force) return;  // the last line comes with finishPass
        lastTenth_ = tenth;
        out_ << line() << '\n';
        out_.flush();
    }
    lastDrawn_ = now;
}

}  // namespace rilvane::riptool
