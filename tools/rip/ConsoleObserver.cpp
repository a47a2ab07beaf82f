#include "ConsoleObserver.h"

#include <algorithm>

#include "rescue/RescueText.h"

namespace rilvane::riptool {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ConsoleObserver::ConsoleObserver(std::ostream& out, bool terminal, std::ostream& summary)
    : out_(out), terminal_(terminal), summary_(summary)
{
}

void ConsoleObserver::put(const std::string& text)
{
    if (lineShown_) out_ << "\r\033[K";
    out_ << text << '\n';
    lineShown_ = false;
}

void ConsoleObserver::logLine(const rescue::LogLine& line)
{
    // The failed single-sector reads of narrowing and retrying fail by the
    // hundred: their drive lines are in the log file only.
    if (line.fileOnly) return;
    put(line.text);
    if (inPass_ && terminal_) draw(true);
    out_.flush();
}

void ConsoleObserver::passStarted(rescue::PassId pass, rescue::Round round, int64_t sectors)
{
    const bool newPass = round.kind == rescue::RoundKind::Pass;
    if (newPass) {
        inPass_ = true;
        pass_ = pass;
        failed_ = 0;
    }
    name_ = std::string(rescue::passName(pass)) + rescue::roundLabel(round);
    total_ = sectors;
    done_ = 0;
    lastTenth_ = -1;
    started_ = Clock::now();
    // Elsewhere than on a terminal each round would add ten lines: there
    // a pass shows its tenths only once.
    if (terminal_ || newPass) {
        if (sectors > 0) draw(true);
    } else {
        lastTenth_ = 10;
    }
}

void ConsoleObserver::progress(int64_t done, int64_t /*total*/, int64_t failedReads)
{
    done_ = done;
    failed_ = failedReads;
    draw(false);
}

void ConsoleObserver::passFinished(rescue::PassId /*pass*/, int64_t reads, int64_t failedReads)
{
    // A pass that was stopped ends where it stood, not at 100 %.
    failed_ = failedReads;
    const std::string text = rescue::passDoneLine(line(), reads);
    if (terminal_) out_ << '\r' << text << "\033[K\n";
    else put(text);
    out_.flush();
    lineShown_ = false;
    inPass_ = false;
}

bool ConsoleObserver::summary(const std::string& text)
{
    summary_ << text;
    summary_.flush();
    return static_cast<bool>(summary_);
}

std::string ConsoleObserver::line() const
{
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    return rescue::passLine(pass_, name_, done_, total_, seconds, failed_);
}

void ConsoleObserver::draw(bool force)
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
        if (tenth >= 10 && !force) return;  // the last line comes with passFinished
        lastTenth_ = tenth;
        out_ << line() << '\n';
        out_.flush();
    }
    lastDrawn_ = now;
}

}  // namespace rilvane::riptool
