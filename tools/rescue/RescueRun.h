// A rescue on a worker thread, for the window. The session runs on its own
// thread; what it reports is collected under a lock and taken by the
// window on its own thread at its own pace (take()), so a fast read is
// never slowed down by the window and the window never waits for the
// drive. Stop asks the session to end after the read in progress.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rescue/RescueObserver.h"
#include "rescue/RescueSession.h"
#include "rescue/StopToken.h"

namespace rilvane::rescuewin {

// What the rescue reported since the last take().
struct RunNews {
    bool passKnown = false;
    rescue::PassId pass = rescue::PassId::Copy;
    rescue::Round round;
    int64_t done = 0;
    int64_t total = 0;
    int64_t failedReads = 0;           // of all passes so far
    std::optional<int32_t> position;   // the sector being read
    std::vector<std::string> lines;    // for the log pane
    std::vector<int32_t> failedSingles;  // sectors whose single read failed, once per failure
    // The map's states, when the map exists.
    std::optional<rescue::DiscLayout> layout;
    std::vector<rescue::SectorState> states;
};

class RescueRun : public QObject, private rescue::RescueObserver {
    Q_OBJECT
public:
    explicit RescueRun(rescue::RescueRequest request, QObject* parent = nullptr);
    // Stops the rescue and waits for the thread.
    ~RescueRun() override;

    void start();
    void requestStop() { stop_.requestStop(); }
    bool stopRequested() const { return stop_.stopRequested(); }
    bool running() const { return running_.load(); }

    // Called on the window's thread.
    RunNews take();
    // The outcome, once finished() was signalled.
    const rescue::RescueOutcome& outcome() const { return outcome_; }

signals:
    // The session has ended (queued to the window's thread).
    void finished();

private:
    // The observer's events, on the rescue's thread.
    void passStarted(rescue::PassId pass, rescue::Round round, int64_t sectors) override;
    void reading(int32_t sector) override;
    void progress(int64_t done, int64_t total, int64_t failedReads) override;
    void passFinished(rescue::PassId pass, int64_t reads, int64_t failedReads) override;
    void driveError(int32_t sector, int32_t count, rescue::SenseCode sense) override;
    void logLine(const rescue::LogLine& line) override;
    bool summary(const std::string& text) override;

    rescue::RescueRequest request_;
    rescue::StopToken stop_;
    std::unique_ptr<rescue::RescueSession> session_;
    rescue::RescueOutcome outcome_;
    std::thread thread_;
    std::atomic<bool> running_{false};

    std::mutex mutex_;
    RunNews news_;                   // guarded by mutex_
    int64_t failedBefore_ = 0;       // failed reads of finished passes
};

}  // namespace rilvane::rescuewin
