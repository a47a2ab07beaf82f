#include "RescueConsole.h"

#include <algorithm>
#include <cstdio>

#include "RescueReport.h"

namespace rilvane::riptool {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

RescueConsole::RescueConsole(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

void RescueConsole::logLine(const std::string& line)
{
    if (lineShown_) out_ << "\r\033[K";
    if (inTrack_) {
        char place[24];
        std::snprintf(place, sizeof place, "Track %02d, ", track_);
        out_ << place << trackTime(int64_t{readingSector_} - first_) << ": ";
    }
    out_ << line << '\n';
    lineShown_ = false;
    if (inTrack_ && terminal_) draw(true);
    out_.flush();
}

void RescueConsole::startTrack(int track, int32_t firstSector, int32_t endSector)
{
    inTrack_ = true;
    track_ = track;
    first_ = firstSector;
    end_ = endSector;
    sector_ = readingSector_ = firstSector;
    failed_ = 0;
    lastTenth_ = -1;
    started_ = Clock::now();
    draw(true);
}

void RescueConsole::progress(int32_t sector, int64_t failed)
{
    sector_ = sector;
    failed_ = failed;
    draw(false);
}

void RescueConsole::finishTrack(const std::string& note)
{
    if (terminal_) out_ << '\r' << line() << note << "\033[K\n";
    else out_ << line() << note << '\n';
    out_.flush();
    lineShown_ = false;
    inTrack_ = false;
}

std::string RescueConsole::line() const
{
    const int64_t length = std::max<int64_t>(int64_t{end_} - first_, 0);
    const int64_t done = std::clamp<int64_t>(int64_t{sector_} - first_, 0, length);
    const int percent = length == 0 ? 100 : static_cast<int>(done * 100 / length);
    // 1x is 75 sectors (176,400 bytes of audio) a second.
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    const double speed = seconds > 0 ? static_cast<double>(done) / 75.0 / seconds : 0.0;
    char text[96];
    std::snprintf(text, sizeof text, "Track %02d: %3d %%  %6.1f×  %lld fehlerhafte Blöcke", track_, percent, speed,
                  static_cast<long long>(failed_));
    std::string s = text;
    // German decimal comma.
    if (const size_t dot = s.find('.'); dot != std::string::npos) s[dot] = ',';
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
        const int64_t length = int64_t{end_} - first_;
        const int tenth = length <= 0 ? 10 : static_cast<int>((int64_t{sector_} - first_) * 10 / length);
        if (!force && tenth <= lastTenth_) return;
        if (tenth >= 10 && !force) return;  // the last line comes with finishTrack
        lastTenth_ = tenth;
        out_ << line() << '\n';
        out_.flush();
    }
    lastDrawn_ = now;
}

}  // namespace rilvane::riptool
