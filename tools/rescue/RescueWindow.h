// The rescue window: choose a drive, a folder and the options, start and
// stop a rescue, and watch the disc being read; or open a folder that holds
// a rescue and follow it.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DiscState.h"
#include "MapWatcher.h"
#include "RescueArguments.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"
#include "rescue/RescueSession.h"

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace rilvane::rescuewin {

class DiscView;
class RescueRun;
class StateLegend;

class RescueWindow : public QMainWindow, public LogSink {
    Q_OBJECT
public:
    explicit RescueWindow(const RescueArguments& args, QWidget* parent = nullptr);
    ~RescueWindow() override;

    // One line of the log pane; also to the logging category "rilvane.log".
    void logLine(const std::string& line) override;
    void logLine(const QString& line);

    // Opens a rescue folder: shows its map and follows it.
    bool openFolder(const QString& folder);

    // Starts a rescue with the chosen drive, folder and options on a worker
    // thread; false (with a log line) when it cannot start.
    bool startRescue();
    // Asks the rescue to end after the read in progress.
    void stopRescue();
    bool rescueRunning() const { return run_ != nullptr; }

    // After a rescue of this window (or one it was asked to start and could
    // not): 0 when it was complete, 1 otherwise.
    // Without one: 0 when the disc shown is complete (or none is shown), 1
    // when sectors are missing or suspect.
    int exitStatus() const;

    const DiscState& disc() const { return disc_; }
    DiscView* discView() const { return discView_; }
    StateLegend* legend() const { return legend_; }
    QTableWidget* trackTable() const { return tracks_; }
    QComboBox* driveList() const { return drives_; }
    QLabel* passLabel() const { return passLabel_; }
    QProgressBar* progressBar() const { return progress_; }
    QPlainTextEdit* logPane() const { return log_; }

signals:
    // A rescue of this window has ended with this exit status.
    void rescueEnded(int status);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void takeMap(const rilvane::rescuewin::DiscState& disc);
    void takeNews();
    void rescueFinished();
    void chooseOutput();
    void chooseFolderToOpen();
    void chooseAccurateRip();

private:
    enum Column { ColTrack, ColLength, ColGood, ColVerified, ColSuspect, ColMissing, ColCrc, ColAccurateRip, ColFile, ColCount };

    std::optional<rescue::RescueRequest> requestFromControls(QString& problem) const;
    void setRunning(bool running);
    void buildControls();
    void findDrives();
    void showDisc(const DiscState& disc);
    void fillTracks();
    void showProgress();
    QString trackFile(int number) const;

    DriveTable driveTable_;
    TransportMode transportMode_ = TransportMode::Spti;
    DiscState disc_;
    MapWatcher watcher_;
    QString folder_;

    // What the map said last time, to tell the speed while following.
    QElapsedTimer sinceLast_;
    int64_t lastDone_ = -1;
    double sectorsPerSecond_ = 0;

    // The rescue of this window.
    std::unique_ptr<RescueRun> run_;
    QTimer tick_;
    std::optional<DiscState> baseTries_;  // the map as an earlier run left it
    std::vector<rescue::SectorState> lastStates_;  // as the rescue's map last said
    int64_t failedReads_ = 0;
    std::optional<int> runStatus_;
    bool closeWhenStopped_ = false;

    QComboBox* drives_ = nullptr;
    QLineEdit* output_ = nullptr;
    QSpinBox* retries_ = nullptr;
    QCheckBox* verify_ = nullptr;
    QCheckBox* flac_ = nullptr;
    QSpinBox* offset_ = nullptr;
    QLineEdit* accurateRip_ = nullptr;
    QPushButton* outButton_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* arButton_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    DiscView* discView_ = nullptr;
    StateLegend* legend_ = nullptr;
    QLabel* hover_ = nullptr;
    QTableWidget* tracks_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QLabel* passLabel_ = nullptr;
    QLabel* speedLabel_ = nullptr;
    QLabel* leftLabel_ = nullptr;
    QLabel* failedLabel_ = nullptr;
};

}  // namespace rilvane::rescuewin

namespace rilvane::rescuewin {
// "m:ss" or "h:mm:ss" of a number of seconds.
QString durationText(double seconds);
}  // namespace rilvane::rescuewin
