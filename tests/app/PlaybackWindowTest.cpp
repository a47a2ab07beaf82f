// Playback through the real buttons of the main window, with virtual drives
// and a paced sound device:
//   D: two tracks, track 2 starting at sector 20000 (25000 sectors in all);
//   E: one track of 3000 sectors, scratched: the blocks 200..290 fail, 300 is
//      good, 310..400 fail, and everything from 1500 on fails.
// The Play button runs the whole session inside its click handler; what the
// tests do meanwhile they do from a PumpHook, as a user's clicks would arrive
// between two reads.

#include "FormControls.h"
#include "SessionTestSupport.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "controls/ButtonsXP.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>

#include <cstring>
#include <memory>

namespace ui = rilvane::test::ui;

using rilvane::test::clickButton;
using rilvane::test::logMark;
using rilvane::test::logSince;
using rilvane::test::MessageRecorder;
using rilvane::test::PumpHook;

namespace {

rilvane::test::TestDisc gMainDisc;
rilvane::test::TestDisc gScratchedDisc;

const QString kNoDrive = QStringLiteral("Es ist kein Laufwerk ausgewählt...");
const QString kStopped = QStringLiteral("Wiedergabe gestoppt...");
const QString kTocRead = QStringLiteral("TOC eingelesen...");
const QString kReadError = QStringLiteral("Fehler: SCSI Status 2; Code:3;11;5 \"Medium Error: l-ec uncorrectable error\"");

// Selects the drive whose list entry begins with the letter.
bool selectDrive(TMainForm& form, char letter)
{
    const QString prefix = QStringLiteral("%1: ").arg(QChar::fromLatin1(letter));
    for (int i = 0; i < ui::DriveBox(form)->count(); ++i) {
        if (ui::DriveBox(form)->itemText(i).startsWith(prefix)) {
            ui::DriveBox(form)->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

// Fills the whole sound buffer with one byte value.
void fillSoundBuffer(TMainForm& form, uint8_t value)
{
    LPVOID p1 = nullptr, p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    LPDIRECTSOUNDBUFFER buffer = form.sound().soundBuffer();
    if (buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER) != DS_OK)
        return;
    if (p1) std::memset(p1, value, n1);
    if (p2) std::memset(p2, value, n2);
    buffer->Unlock(p1, n1, p2, n2);
}

// True when every byte of the sound buffer has the value.
bool soundBufferHolds(TMainForm& form, uint8_t value)
{
    LPVOID p1 = nullptr, p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    LPDIRECTSOUNDBUFFER buffer = form.sound().soundBuffer();
    if (buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER) != DS_OK)
        return false;
    bool same = n1 + n2 == 117600;
    for (DWORD i = 0; same && i < n1; ++i) same = static_cast<const uint8_t*>(p1)[i] == value;
    for (DWORD i = 0; same && i < n2; ++i) same = static_cast<const uint8_t*>(p2)[i] == value;
    buffer->Unlock(p1, n1, p2, n2);
    return same;
}

bool soundPlaying(TMainForm& form)
{
    DWORD status = 0;
    form.sound().soundBuffer()->GetStatus(&status);
    return (status & DSBSTATUS_PLAYING) != 0;
}

int countOf(const QStringList& lines, const QString& line)
{
    return static_cast<int>(lines.count(line));
}

int nonWhitePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu) ++count;
    return count;
}

}  // namespace

class PlaybackWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void playWithoutASelectedDriveTouchesNothing();
    void elevenFailedReadsInARowEndPlayback();
    void aGoodReadBetweenFailuresKeepsItPlaying();
    void positionLabelShowsTrackAndTimeOfTheDisc();
    void navigationMovesTheReadPosition();
    void waveformIsDrawnAtEveryHandoff();
    void secondPlayPressDuringPlaybackIsIgnored();
    void closingTheWindowDuringPlaybackEndsItAndTheProgram();

private:
    // A shown main window with the drive selected.
    std::unique_ptr<TMainForm> makeForm(char letter);
};

void PlaybackWindowTest::init()
{
    QVERIFY(!gMainDisc.bin.empty());
}

std::unique_ptr<TMainForm> PlaybackWindowTest::makeForm(char letter)
{
    auto form = std::make_unique<TMainForm>(rilvane::test::soundLibrary());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()) || form->terminationRequested() || !selectDrive(*form, letter))
        return nullptr;
    return form;
}

void PlaybackWindowTest::playWithoutASelectedDriveTouchesNothing()
{
    auto form = makeForm('D');
    QVERIFY(form);
    QCOMPARE(ui::DriveBox(*form)->count(), 2);
    fillSoundBuffer(*form, 0x5A);

    // Drives in the list, none selected.
    ui::DriveBox(*form)->setCurrentIndex(-1);
    int mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QCOMPARE(logSince(*form, mark), QStringList{kNoDrive});
    QVERIFY(soundBufferHolds(*form, 0x5A));
    QVERIFY(!soundPlaying(*form));
    QCOMPARE(form->currentSector(), 0);

    // An empty list.
    ui::DriveBox(*form)->clear();
    mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QCOMPARE(logSince(*form, mark), QStringList{kNoDrive});
    QVERIFY(soundBufferHolds(*form, 0x5A));
    QVERIFY(!soundPlaying(*form));
    QVERIFY(!form->playbackRunning());
}

void PlaybackWindowTest::elevenFailedReadsInARowEndPlayback()
{
    auto form = makeForm('E');
    QVERIFY(form);
    ui::StartSec(*form)->setEditText(QStringLiteral("1500"));
    PumpHook guard(*form, [](PumpHook&) {});

    const int mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!guard.timedOut());

    QStringList expected{kTocRead, QStringLiteral("1 Tracks gefunden...")};
    for (int i = 0; i < 11; ++i) expected << kReadError;
    expected << kStopped;
    QCOMPARE(logSince(*form, mark), expected);
    QCOMPARE(form->currentSector(), 1610);
    QCOMPARE(ui::StartSec(*form)->value(), 1610);
    QVERIFY(form->stopRequested());
    QVERIFY(!soundPlaying(*form));
}

void PlaybackWindowTest::aGoodReadBetweenFailuresKeepsItPlaying()
{
    auto form = makeForm('E');
    QVERIFY(form);
    ui::StartSec(*form)->setEditText(QStringLiteral("200"));
    int32_t stoppedAt = -1;
    PumpHook hook(*form, [&](PumpHook& self) {
        if (form->currentSector() >= 500) {
            stoppedAt = form->currentSector();
            clickButton(ui::StopBtn(*form));
            self.finish();
        }
    });

    const int mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!hook.timedOut());
    QVERIFY(stoppedAt >= 500);

    QStringList expected{kTocRead, QStringLiteral("1 Tracks gefunden...")};
    for (int i = 0; i < 20; ++i) expected << kReadError;
    expected << kStopped;
    QCOMPARE(logSince(*form, mark), expected);
    // Stop ends the loop before the read it was pressed in front of.
    QCOMPARE(form->currentSector(), stoppedAt);
    QCOMPARE(ui::StartSec(*form)->value(), stoppedAt);
}

void PlaybackWindowTest::positionLabelShowsTrackAndTimeOfTheDisc()
{
    auto form = makeForm('D');
    QVERIFY(form);
    QCOMPARE(ui::Label3(*form)->text(), QStringLiteral("Track no. 1 Time 00:00:00 s"));

    // A short play reads the disc's table of contents.
    QString labelWhilePlaying;
    int32_t fieldWhilePlaying = 0;
    PumpHook hook(*form, [&](PumpHook& self) {
        if (form->currentSector() >= 500 + 750) {
            labelWhilePlaying = ui::Label3(*form)->text();
            fieldWhilePlaying = ui::StartSec(*form)->value();
            clickButton(ui::StopBtn(*form));
            self.finish();
        }
    });
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!hook.timedOut());
    // Seconds from the start of track 1 at sector 0; the session has not got
    // as far as a minute.
    QVERIFY(fieldWhilePlaying >= 1250 && fieldWhilePlaying < 4500);
    QCOMPARE(labelWhilePlaying,
             QStringLiteral("Track no. 1 Time 00:00:%1 s").arg(fieldWhilePlaying / 75, 2, 10, QChar(u'0')));
    QCOMPARE(form->trackTable().count, 2);
    QCOMPARE(form->trackTable().slot(1), 0);
    QCOMPARE(form->trackTable().slot(2), 20000);
    QCOMPARE(form->trackTable().slot(3), 25000);

    ui::StartSec(*form)->setEditText(QStringLiteral("24500"));
    QCOMPARE(ui::Label3(*form)->text(), QStringLiteral("Track no. 2 Time 00:01:00 s"));
    ui::StartSec(*form)->setEditText(QStringLiteral("19999"));
    QCOMPARE(ui::Label3(*form)->text(), QStringLiteral("Track no. 1 Time 00:04:26 s"));
    ui::StartSec(*form)->setEditText(QStringLiteral("25000"));  // the lead-out: counted from sector 0
    QCOMPARE(ui::Label3(*form)->text(), QStringLiteral("Track no. 1 Time 00:05:33 s"));
}

void PlaybackWindowTest::navigationMovesTheReadPosition()
{
    auto form = makeForm('D');
    QVERIFY(form);

    // Before any session: the current sector is 0 while the field shows 500.
    QCOMPARE(form->currentSector(), 0);
    clickButton(ui::FwdBtn(*form));
    QCOMPARE(form->currentSector(), 1500);
    QCOMPARE(ui::StartSec(*form)->value(), 1500);
    clickButton(ui::RewBtn(*form));
    QCOMPARE(form->currentSector(), 500);  // not below the start of track 1 (500 before any TOC)
    QCOMPARE(ui::StartSec(*form)->value(), 500);
    ui::StartSec(*form)->setEditText(QStringLiteral("5000"));
    clickButton(ui::FwdBtn(*form));  // from the current sector, not from the field
    QCOMPARE(form->currentSector(), 2000);
    ui::StartSec(*form)->setEditText(QStringLiteral("5000"));
    clickButton(ui::NextBtn(*form));  // in the last track: unchanged, and the field shows it
    QCOMPARE(form->currentSector(), 2000);
    QCOMPARE(ui::StartSec(*form)->value(), 2000);

    // During playback, on the disc's own table of contents (tracks at 0 and
    // 20000, lead-out 25000). Each step waits for a read after the last move.
    ui::StartSec(*form)->setEditText(QStringLiteral("500"));
    int phase = 0;
    int32_t moved = 0;
    QStringList failures;
    auto expect = [&](bool ok, const QString& what) {
        if (!ok) failures << QStringLiteral("%1 (current sector %2, field %3)")
                                 .arg(what)
                                 .arg(form->currentSector())
                                 .arg(ui::StartSec(*form)->value());
    };
    PumpHook hook(*form, [&](PumpHook& self) {
        const int32_t at = form->currentSector();
        switch (phase) {
        case 0:
            if (at < 500 + 50) return;
            expect(ui::StartSec(*form)->value() == at, QStringLiteral("the field follows the reads"));
            clickButton(ui::NextBtn(*form));  // from the field: the start of track 2
            expect(form->currentSector() == 20000 && ui::StartSec(*form)->value() == 20000, QStringLiteral("Next"));
            expect(ui::Label3(*form)->text() == QStringLiteral("Track no. 2 Time 00:00:00 s"), QStringLiteral("label"));
            moved = 20000;
            break;
        case 1:
            if (at < moved + 50) return;
            expect((at - moved) % 10 == 0 && at < moved + 1000, QStringLiteral("reads go on from track 2"));
            clickButton(ui::RewBtn(*form));
            moved = at - 1500;
            expect(form->currentSector() == moved && ui::StartSec(*form)->value() == moved, QStringLiteral("Rew"));
            break;
        case 2:
            if (at == moved) return;
            expect(at > moved && at < 20000 && (at - moved) % 10 == 0, QStringLiteral("reads go on after Rew"));
            ui::StartSec(*form)->setEditText(QStringLiteral("7000"));  // typed: Fwd ignores it
            clickButton(ui::FwdBtn(*form));
            moved = at + 1500;
            expect(form->currentSector() == moved && ui::StartSec(*form)->value() == moved, QStringLiteral("Fwd"));
            break;
        case 3:
            if (at == moved) return;
            expect(at > moved && (at - moved) % 10 == 0, QStringLiteral("reads go on after Fwd"));
            ui::StartSec(*form)->setEditText(QStringLiteral("1000"));  // typed: Next starts from it
            clickButton(ui::NextBtn(*form));
            moved = 20000;
            expect(form->currentSector() == moved && ui::StartSec(*form)->value() == moved,
                   QStringLiteral("Next from field"));
            break;
        case 4:
            if (at == moved) return;
            expect(at > moved && at < moved + 225, QStringLiteral("reads go on after Next"));
            clickButton(ui::LastBtn(*form));  // near the start of track 2: back to track 1
            moved = 0;
            expect(form->currentSector() == 0 && ui::StartSec(*form)->value() == 0, QStringLiteral("Last"));
            break;
        case 5:
            if (at == moved) return;
            expect(at > 0 && at < 20000 && at % 10 == 0, QStringLiteral("reads go on after Last"));
            clickButton(ui::StopBtn(*form));
            self.finish();
            break;
        }
        ++phase;
    });

    const int mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!hook.timedOut());
    QCOMPARE(phase, 6);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    const QStringList lines = logSince(*form, mark);
    QCOMPARE(lines, (QStringList{kTocRead, QStringLiteral("2 Tracks gefunden..."), kStopped}));
}

void PlaybackWindowTest::waveformIsDrawnAtEveryHandoff()
{
    auto form = makeForm('D');
    QVERIFY(form);
    rilvane::PaintBox& view = *ui::PaintBox1(*form);
    QVERIFY(view.width() > 10 && view.height() > 10);
    QCOMPARE(nonWhitePixels(view.grab().toImage()), 0);

    // Five good reads fill the staging buffer; the sector after its last
    // read shows that its handoff has returned.
    int drawnAfterThree = -1, afterRepaint = -1, drawnAgain = -1;
    int32_t repaintedAt = 0;
    PumpHook hook(*form, [&](PumpHook& self) {
        const int32_t at = form->currentSector();
        if (drawnAfterThree < 0) {
            if (at < 500 + 3 * 50) return;
            drawnAfterThree = nonWhitePixels(view.grab().toImage());
            view.invalidate();
            afterRepaint = nonWhitePixels(view.grab().toImage());
            repaintedAt = at;
        } else if (at >= repaintedAt + 2 * 50) {
            drawnAgain = nonWhitePixels(view.grab().toImage());
            clickButton(ui::StopBtn(*form));
            self.finish();
        }
    });
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!hook.timedOut());

    // A line through every column of the view.
    QVERIFY2(drawnAfterThree >= view.width(), qPrintable(QString::number(drawnAfterThree)));
    QCOMPARE(afterRepaint, 0);
    QVERIFY2(drawnAgain >= view.width(), qPrintable(QString::number(drawnAgain)));

    // After the session a repaint leaves the view white.
    view.invalidate();
    QCOMPARE(nonWhitePixels(view.grab().toImage()), 0);
}

void PlaybackWindowTest::secondPlayPressDuringPlaybackIsIgnored()
{
    auto form = makeForm('D');
    QVERIFY(form);
    int32_t pressedAt = -1;
    int32_t stoppedAt = -1;
    PumpHook hook(*form, [&](PumpHook& self) {
        if (pressedAt < 0) {
            pressedAt = form->currentSector();
            clickButton(ui::PlayBtn(*form));  // returns at once
            return;
        }
        if (form->currentSector() >= pressedAt + 100) {
            stoppedAt = form->currentSector();
            clickButton(ui::StopBtn(*form));
            self.finish();
        }
    });
    const int mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!hook.timedOut());
    QVERIFY(pressedAt >= 500);
    QCOMPARE(form->currentSector(), stoppedAt);
    QCOMPARE(logSince(*form, mark), (QStringList{kTocRead, QStringLiteral("2 Tracks gefunden..."), kStopped}));
    QVERIFY(!form->playbackRunning());

    // The button works again once the session has ended.
    PumpHook again(*form, [&](PumpHook& self) {
        clickButton(ui::StopBtn(*form));
        self.finish();
    });
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!again.timedOut());
    QCOMPARE(countOf(logSince(*form, mark), kStopped), 2);
}

void PlaybackWindowTest::closingTheWindowDuringPlaybackEndsItAndTheProgram()
{
    MessageRecorder messages;  // answers OK
    auto* form = new TMainForm(rilvane::test::soundLibrary());
    QPointer<TMainForm> alive(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QVERIFY(selectDrive(*form, 'D'));

    int32_t closedAt = -1;
    bool stillRunningAfterClose = false;
    PumpHook hook(*form, [&](PumpHook& self) {
        if (form->currentSector() < 600) return;
        closedAt = form->currentSector();
        stillRunningAfterClose = form->close() && form->playbackRunning();
        self.finish();
    });
    const int mark = logMark(*form);
    QTimer::singleShot(0, form, [form] { clickButton(ui::PlayBtn(*form)); });
    const int result = QApplication::exec();

    QCOMPARE(result, 0);
    QVERIFY(!hook.timedOut());
    QVERIFY(!alive.isNull());
    QVERIFY(stillRunningAfterClose);
    QCOMPARE(messages.requests.size(), 1);
    QCOMPARE(messages.requests.first().text, QStringLiteral("Hiermit beenden Sie das Programm!"));
    // The loop saw the stop request before its next read.
    QCOMPARE(form->currentSector(), closedAt);
    QVERIFY(!form->playbackRunning());
    QVERIFY(!form->isVisible());
    QVERIFY(form->terminationRequested());
    const QStringList lines = logSince(*form, mark);
    QCOMPARE(lines.last(), kStopped);
    QCOMPARE(countOf(lines, kStopped), 1);
    QVERIFY(!soundPlaying(*form));
    delete form;
}

int main(int argc, char** argv)
{
    return rilvane::test::runSessionWindowTests(
        argc, argv,
        [](const QString& folder) {
            const std::string discs = folder.toStdString();
            std::string error;
            if (!rilvane::test::makeDisc(discs, "MAIN", {20000, 5000}, {}, gMainDisc, error) ||
                !rilvane::test::makeDisc(discs, "SCRATCHED", {3000},
                                         {"200-299 03/11/05", "310-409 03/11/05", "1500-2999 03/11/05"},
                                         gScratchedDisc, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return false;
            }
            const std::string drives = "D=" + gMainDisc.driveEntry() + ";E=" + gScratchedDisc.driveEntry();
            setenv("RILVANE_VIRTUAL_DRIVES", drives.c_str(), 1);
            // Eight times real time: paced like a sound card, but quick.
            return rilvane::test::usePacedCaptureDevice(discs, discs + "/capture.raw", 8 * 176400);
        },
        [](int count, char** args) { return rilvane::test::runTest<PlaybackWindowTest>(count, args); });
}

#include "PlaybackWindowTest.moc"
