// The main window: the drive list, the position and transport controls, the
// save controls, the waveform view, the log pane and the status bar, and the
// long-lived state that playback and ripping share.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

#include "app/ProgressBar.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"
#include "drive/ReadingState.h"
#include "drive/TrackTable.h"
#include "playback/SoundOutput.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QTabWidget;
class QToolButton;
class TBitBtnXP;
class TImageBtn;

namespace rilvane {
class BevelPanel;
class DSound;
class FormSessionWindow;
class PaintBox;
class SpinEdit;
class StatusBar;
class WindowMessageEvent;
}  // namespace rilvane

class TMainForm : public QWidget, public rilvane::LogSink {
    Q_OBJECT

public:
    // Builds the whole control tree, then runs FormCreate, which sets up the
    // sound output through soundLibrary; the library must outlive the window.
    explicit TMainForm(const rilvane::DSound& soundLibrary, QWidget* parent = nullptr);
    // Runs FormDestroy.
    ~TMainForm() override;

    // --- The log pane -----------------------------------------------------
    // Appends one whole line to Memo1 (nothing is ever removed) and mirrors it
    // to the logging category "rilvane.log".
    void logLine(const std::string& line) override;
    void logLine(const QString& line);

    // --- Long-lived state, read-only from outside ------------------------------
    const rilvane::DriveTable& driveTable() const { return m_driveTable; }
    rilvane::TransportMode transportMode() const { return m_transportMode; }
    const rilvane::TrackTable& trackTable() const { return m_reading.trackTable; }
    int32_t currentSector() const { return m_reading.currentSector; }
    bool stopRequested() const { return m_reading.stopRequest; }
    // A playback session or a rip is running inside its click handler.
    bool playbackRunning() const { return m_playbackRunning; }
    bool ripRunning() const { return m_ripRunning; }
    int32_t progressPercent() const { return m_progressPercent; }
    // The state every session this window runs reads and moves; the
    // navigation buttons and Stop set it between two reads.
    rilvane::ReadingState& reading() { return m_reading; }
    const rilvane::PanelRect& progressRect() const { return m_progressRect; }
    const rilvane::SoundOutput& sound() const { return m_sound; }

    // The save dialog: returns the chosen file, or an empty text when the user
    // cancelled. When saveDialogOverride is set it answers instead of the
    // dialog (for tests).
    QString executeSaveDialog();
    std::function<QString()> saveDialogOverride;

    // True once the application has been asked to end (failed sound set-up,
    // or a confirmed close).
    bool terminationRequested() const { return m_terminationRequested; }

    // --- Handlers ----------------------------------------------------------------
    void FormCreate();
    bool FormCloseQuery();  // CanClose
    void FormClose();
    void FormDestroy();
    void EndeBtnClick();
    void ueberbtnClick();
    void wwwBtnClick();
    void StartSecChange();
    void FindAllCDDrives();

    void PlayBtnClick();
    void StopBtnClick();
    void RewBtnClick();
    void FwdBtnClick();
    void LastBtnClick();
    void NextBtnClick();
    void SaveTrackClick();
    // The drive record of the drive list's selected entry, or null when no
    // entry is selected.
    const rilvane::DriveRecord* selectedDrive() const;

    void PaintBox1Paint(QPainter& canvas);

    // Status bar progress (WM_USER, first parameter the percentage).
    void WMUser(const rilvane::WindowMessageEvent& message);
    void SetProStatus(int32_t value);
    void StatusBar1DrawPanel(rilvane::StatusBar* statusBar, int panel, QPainter& canvas, const QRect& rect);
    void SBarPaintMore();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // --- Controls, in creation order -----------------------------------------
    // Each has the object name of its member; tests find them by it.
    rilvane::StatusBar* StatusBar1 = nullptr;
    rilvane::BevelPanel* Panel7 = nullptr;
    QToolButton* wwwBtn = nullptr;
    rilvane::BevelPanel* Panel8 = nullptr;
    TImageBtn* ueberbtn = nullptr;
    TImageBtn* endebtn = nullptr;
    rilvane::BevelPanel* OuterPanel = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    rilvane::BevelPanel* Panel2 = nullptr;
    QLabel* RxLabel2 = nullptr;
    rilvane::BevelPanel* Panel6 = nullptr;
    rilvane::BevelPanel* Panel9 = nullptr;
    QLabel* Image1 = nullptr;
    rilvane::BevelPanel* Panel12 = nullptr;
    QLabel* RxLabel5 = nullptr;
    rilvane::BevelPanel* Panel1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    rilvane::PaintBox* PaintBox1 = nullptr;
    rilvane::BevelPanel* Panel3 = nullptr;
    rilvane::BevelPanel* Panel4 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* DriveBox = nullptr;
    QLabel* Label1 = nullptr;
    rilvane::SpinEdit* StartSec = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* KaraokeCheck = nullptr;
    TBitBtnXP* PlayBtn = nullptr;
    TBitBtnXP* StopBtn = nullptr;
    TBitBtnXP* RewBtn = nullptr;
    TBitBtnXP* FwdBtn = nullptr;
    TBitBtnXP* LastBtn = nullptr;
    TBitBtnXP* NextBtn = nullptr;
    QLabel* Label4 = nullptr;
    rilvane::SpinEdit* STrackEd = nullptr;
    TBitBtnXP* SaveTrack = nullptr;
    QFileDialog* SaveDialog1 = nullptr;

    // The window as the sessions see it: it reaches the position field, the
    // log pane and the waveform view.
    friend class rilvane::FormSessionWindow;

    void createControls();
    void createBottomBar();
    void createPage();
    void createTransportArea();
    void createSaveArea();
    void arrangeTabOrder();
    // Ends the message loop with the given exit status.
    void requestTermination(int status = 0);
    void fitOuterSize();

    bool setupSound();
    // The second paragraph of the sound failure's message: what went wrong
    // and what to do.
    QString soundFailureDetails() const;
    void releaseSound();

    const rilvane::DSound& m_soundLibrary;
    rilvane::DriveTable m_driveTable;  // written by discovery only
    rilvane::TransportMode m_transportMode = rilvane::TransportMode::Spti;
    // The message pump lets the other buttons through while a session or a
    // rip runs inside its click handler.
    bool m_playbackRunning = false;
    bool m_ripRunning = false;
    // The sessions run inside this window's click handlers and move the
    // current sector, the stop request and the track table as they read; the
    // navigation buttons and Stop move them between two reads.
    rilvane::ReadingState m_reading;
    int32_t m_progressPercent = 0;
    rilvane::PanelRect m_progressRect;  // the progress panel as last drawn
    rilvane::SoundOutput m_sound;       // set up by FormCreate, released by FormDestroy

    bool m_terminationRequested = false;
    bool m_sizedOnce = false;
};
