#include "RescueRun.h"

#include <QMetaObject>

#include <pthread.h>

#include <sstream>

#include "rescue/RescueMap.h"

namespace rilvane::rescuewin {

RescueRun::RescueRun(rescue::RescueRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request))
{
}

RescueRun::~RescueRun()
{
    stop_.requestStop();
    if (thread_.joinable()) thread_.join();
}

void RescueRun::start()
{
    rescue::RescueObserver& observer = *this;
    session_ = std::make_unique<rescue::RescueSession>(request_, observer, stop_);
    running_ = true;
    thread_ = std::thread([this] {
        // Named, so that its processor time can be told from the window's.
        pthread_setname_np(pthread_self(), "rescue-worker");
        outcome_ = session_->run();
        running_ = false;
        QMetaObject::invokeMethod(this, [this] {
            if (thread_.joinable()) thread_.join();
            emit finished();
        }, Qt::QueuedConnection);
    });
}

RunNews RescueRun::take()
{
    RunNews news;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        news = news_;
        news_.lines.clear();
        news_.failedSingles.clear();
        news_.position.reset();
    }
    if (session_) {
        if (const rescue::RescueMap* map = session_->map()) {
            news.layout = map->layout();
            news.states = map->snapshot();
        }
    }
    return news;
}

void RescueRun::passStarted(rescue::PassId pass, rescue::Round round, int64_t sectors)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    news_.passKnown = true;
    news_.pass = pass;
    news_.round = round;
    news_.done = 0;
    news_.total = sectors;
}

void RescueRun::reading(int32_t sector)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    news_.position = sector;
}

void RescueRun::progress(int64_t done, int64_t total, int64_t failedReads)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    news_.done = done;
    news_.total = total;
    news_.failedReads = failedBefore_ + failedReads;
}

void RescueRun::passFinished(rescue::PassId /*pass*/, int64_t /*reads*/, int64_t failedReads)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    failedBefore_ += failedReads;
    news_.failedReads = failedBefore_;
}

void RescueRun::driveError(int32_t sector, int32_t count, rescue::SenseCode /*sense*/)
{
    if (count != 1) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    news_.failedSingles.push_back(sector);
}

void RescueRun::logLine(const rescue::LogLine& line)
{
    // A failed single-sector read's line goes to the log file only, as on
    // the console: the picture shows those.
    if (line.fileOnly) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    news_.lines.push_back(line.text);
}

bool RescueRun::summary(const std::string& text)
{
    std::istringstream in(text);
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::string line; std::getline(in, line);) news_.lines.push_back(line);
    return true;
}

}  // namespace rilvane::rescuewin
