// The rescue window: choose a drive, a folder and the options, start and
// stop a rescue, and watch the disc being read; or open a folder that holds
// a rescue and follow it.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>

#include <optional>
#include <string>

#include "DiscState.h"
#include "MapWatcher.h"
#include "RescueArguments.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"

class QCheckBox;
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

    // 0 when the disc shown is complete (or none is shown), 1 when sectors
    // are missing or suspect.
    int exitStatus() const;

    const DiscState& disc() const { return disc_; }
    DiscView* discView() const { return discView_; }
    StateLegend* legend() const { return legend_; }
    QTableWidget* trackTable() const { return tracks_; }
    QComboBox* driveList() const { return drives_; }
    QLabel* passLabel() const { return passLabel_; }
    QProgressBar* progressBar() const { return progress_; }
    QPlainTextEdit* logPane() const { return log_; }

private slots:
    void takeMap(const rilvane::rescuewin::DiscState& disc);
    void chooseOutput();
    void chooseFolderToOpen();
    void chooseAccurateRip();

private:
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

    QComboBox* drives_ = nullptr;
    QLineEdit* output_ = nullptr;
    QSpinBox* retries_ = nullptr;
    QCheckBox* verify_ = nullptr;
    QCheckBox* flac_ = nullptr;
    QSpinBox* offset_ = nullptr;
    QLineEdit* accurateRip_ = nullptr;
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
