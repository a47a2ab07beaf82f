#include "app/MainUnit.h"

#include "app/AboutBoxUnit.h"
#include "app/LogCategory.h"
#include "app/MessagePrompt.h"
#include "app/PaintBox.h"
#include "app/PositionLabel.h"
#include "app/SaveDialog.h"
#include "app/SpinEdit.h"
#include "app/StatusBar.h"
#include "app/WebSite.h"
#include "app/WindowMessage.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "platform/Win32.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <cstdio>

Q_LOGGING_CATEGORY(lcRilvaneLog, "rilvane.log", QtWarningMsg)

namespace {
constexpr int kOuterWidth = 622;
constexpr int kOuterHeight = 489;
constexpr int kSoundFailureStatus = 1;
}  // namespace

TMainForm::TMainForm(const rilvane::DSound& soundLibrary, QWidget* parent)
    : QWidget(parent), m_soundLibrary(soundLibrary)
{
    createControls();
    resize(kOuterWidth, kOuterHeight);
    FormCreate();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

// --- Start-up ----------------------------------------------------------------

void TMainForm::FormCreate()
{
    m_reading.trackTable.presetStartup();
    StartSecChange();

    if (!setupSound()) {
        rilvane::MessageRequest request;
        request.parent = this;
        // What ALSA said and what to do follow as a second paragraph, also
        // on standard error for a start from a terminal or a script; the
        // program then ends as a failure, not with status 0.
        const QString details = soundFailureDetails();
        request.text = QStringLiteral("Konnte DirectSound (DirectX) nicht initialisieren...\n\n") + details;
        request.buttons = QMessageBox::Ok;
        std::fprintf(stderr, "rilvane: Konnte DirectSound (DirectX) nicht initialisieren...\n%s\n",
                     details.toUtf8().constData());
        std::fflush(stderr);
        rilvane::showMessage(request);
        requestTermination(kSoundFailureStatus);
    }

    FindAllCDDrives();

    DriveBox->clear();
    if (m_driveTable.count < 1) {
        logLine(QStringLiteral("Es wurden keine CD-Laufwerke gefunden!"));
        // Drives that exist but cannot be used say why; "none found" alone
        // would send the user looking for hardware that is there.
        for (const std::string& line : rilvane::unusableDriveLines())
            logLine(line);
        return;
    }
    const int count = std::min<int32_t>(m_driveTable.count, rilvane::kDriveTableSize);
    for (int i = 0; i < count; ++i) {
        const rilvane::DriveRecord& drive = m_driveTable.records[static_cast<size_t>(i)];
        const std::string entry = rilvane::driveListEntry(drive, m_transportMode);
        DriveBox->addItem(QString::fromStdString(entry));
    }
    DriveBox->setCurrentIndex(0);
}

const rilvane::DriveRecord* TMainForm::selectedDrive() const
{
    const int index = DriveBox->currentIndex();
    if (index < 0 || index >= std::min<int32_t>(m_driveTable.count, rilvane::kDriveTableSize)) return nullptr;
    return &m_driveTable.records[static_cast<size_t>(index)];
}

void TMainForm::FindAllCDDrives()
{
    rilvane::findAllCDDrives(m_driveTable, m_transportMode, *this);
}

void TMainForm::StartSecChange()
{
    Label3->setText(QString::fromStdString(rilvane::positionLabel(StartSec->value(), m_reading.trackTable)));
}

void TMainForm::PaintBox1Paint(QPainter& canvas)
{
    canvas.setBrush(Qt::white);
    canvas.setPen(Qt::black);
    canvas.fillRect(QRect(0, 0, PaintBox1->width(), PaintBox1->height()), Qt::white);
}

// --- The log pane --------------------------------------------------------------

void TMainForm::logLine(const std::string& line)
{
    logLine(QString::fromStdString(line));
}

void TMainForm::logLine(const QString& line)
{
    Memo1->appendPlainText(line);
    QScrollBar* bar = Memo1->verticalScrollBar();
    bar->setValue(bar->maximum());
    qCInfo(lcRilvaneLog).noquote() << line;
}

// --- Closing -------------------------------------------------------------------

bool TMainForm::FormCloseQuery()
{
    rilvane::MessageRequest request;
    request.parent = this;
    request.title = QStringLiteral("Programm beenden");
    request.text = QStringLiteral("Hiermit beenden Sie das Programm!");
    request.icon = QMessageBox::Information;
    request.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    return rilvane::showMessage(request) == QMessageBox::Ok;
}

void TMainForm::FormClose()
{
    m_reading.stopRequest = true;
}

void TMainForm::FormDestroy()
{
    releaseSound();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    requestTermination();
}

void TMainForm::requestTermination(int status)
{
    // The window is never deleted here: a playback or ripping loop may be
    // running further up this very call stack, inside its click handler. The
    // request reaches the application's event loop, which ends once that
    // handler has seen the stop request and returned; the window is destroyed
    // by its owner after the loop.
    m_terminationRequested = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
}

void TMainForm::EndeBtnClick()
{
    close();
}

// --- Web site and information --------------------------------------------------

void TMainForm::wwwBtnClick()
{
    const auto owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(winId()));
    ShellExecuteA(owner, "open", rilvane::webAddress(), "", "", SW_SHOWNORMAL);
}

void TMainForm::ueberbtnClick()
{
    TAboutBox aboutBox(this);
    aboutBox.exec();
}

// --- Save dialog -----------------------------------------------------------------

QString TMainForm::executeSaveDialog()
{
    if (saveDialogOverride)
        return saveDialogOverride();
    if (SaveDialog1->exec() != QDialog::Accepted)
        return QString();
    return rilvane::chosenSaveFile(*SaveDialog1);
}

// --- Status bar progress ---------------------------------------------------------

bool TMainForm::event(QEvent* event)
{
    if (event->type() == rilvane::WindowMessageEvent::eventType()) {
        const auto& message = static_cast<const rilvane::WindowMessageEvent&>(*event);
        if (message.message == rilvane::kWmUser)
            WMUser(message);
        return true;
    }
    return QWidget::event(event);
}

void TMainForm::WMUser(const rilvane::WindowMessageEvent& message)
{
    // The first parameter is a 32-bit signed number, as on the 32-bit system.
    SetProStatus(static_cast<int32_t>(static_cast<uint32_t>(message.wParam)));
}

void TMainForm::SetProStatus(int32_t value)
{
    if (value < m_progressPercent) {
        m_progressPercent = value;
        StatusBar1->invalidate();  // clears the bar and draws the panel anew
    } else {
        m_progressPercent = value;
        SBarPaintMore();
    }
}

void TMainForm::StatusBar1DrawPanel(rilvane::StatusBar*, int, QPainter& canvas, const QRect& rect)
{
    const rilvane::PanelRect panel = rilvane::panelRectFrom(rect);
    rilvane::drawProgressBar(canvas, panel, m_progressPercent);
    m_progressRect = panel;
}

void TMainForm::SBarPaintMore()
{
    StatusBar1->paintOver(
        [this](QPainter& canvas) { rilvane::drawProgressBar(canvas, m_progressRect, m_progressPercent); });
}

// --- Window size -------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_sizedOnce) {
        m_sizedOnce = true;
        fitOuterSize();
    }
}

void TMainForm::fitOuterSize()
{
    // 622 x 489 is the size of the whole window, frame included, centred on
    // the desktop. The frame is known only once the window system has one.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(kOuterWidth - frame.left() - frame.right(), kOuterHeight - frame.top() - frame.bottom());
    if (const QScreen* desktop = screen()) {
        const QRect area = desktop->availableGeometry();
        move(area.x() + (area.width() - kOuterWidth) / 2, area.y() + (area.height() - kOuterHeight) / 2);
    }
}
