// Saving a track through the real buttons of the main window. Drive D: holds
// three stamped tracks of 1003, 1205 and 600 sectors (starts 0, 1003, 2208;
// lead-out 2808). The save dialog is answered through saveDialogOverride.

#include "FormControls.h"
#include "SessionTestSupport.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/SpinEdit.h"
#include "controls/ButtonsXP.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

#include <memory>

namespace ui = rilvane::test::ui;

using rilvane::test::clickButton;
using rilvane::test::logMark;
using rilvane::test::logSince;
using rilvane::test::PumpHook;

namespace {

rilvane::test::TestDisc gDisc;

constexpr int32_t kTrack2 = 1003;
constexpr int32_t kTrack2Blocks = 121;  // 1205 sectors, the last block reaching into track 3

const QString kNoDrive = QStringLiteral("Es ist kein Laufwerk ausgewählt...");
const QString kStopped = QStringLiteral("Wiedergabe gestoppt...");
const QString kTocRead = QStringLiteral("TOC eingelesen...");
const QString kTracks = QStringLiteral("3 Tracks gefunden...");
const QString kStarting = QStringLiteral("Starte Ripping...");
const QString kFinished = QStringLiteral("Ripping beendet...");

uint32_t u32At(const QByteArray& bytes, qsizetype at)
{
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData()) + at;
    return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
}

// Checks a finished WAV file holding `sectors` sectors of the disc from
// `first` on; returns what is wrong, or an empty text.
QString checkWavFile(const QString& path, int32_t first, int32_t sectors)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("no file ") + path;
    const QByteArray bytes = file.readAll();
    const uint32_t audio = static_cast<uint32_t>(sectors) * rilvane::test::kSectorBytes;
    if (bytes.size() != 44 + qsizetype(audio))
        return QStringLiteral("%1 bytes, expected %2").arg(bytes.size()).arg(44 + audio);
    if (bytes.left(4) != "RIFF" || bytes.mid(8, 8) != "WAVEfmt " || bytes.mid(36, 4) != "data")
        return QStringLiteral("not a RIFF/WAVE header");
    if (u32At(bytes, 4) != 36 + audio || u32At(bytes, 40) != audio)
        return QStringLiteral("sizes %1 and %2 in the header").arg(u32At(bytes, 4)).arg(u32At(bytes, 40));
    if (u32At(bytes, 16) != 16 || u32At(bytes, 20) != 0x00020001u || u32At(bytes, 24) != 44100 ||
        u32At(bytes, 28) != 176400 || u32At(bytes, 32) != 0x00100004u)
        return QStringLiteral("not 16-bit stereo PCM at 44100 Hz");
    if (bytes.mid(44) != rilvane::test::binSectors(gDisc, first, sectors))
        return QStringLiteral("the audio is not the disc's");
    return QString();
}

}  // namespace

class SaveWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void saveWithoutASelectedDriveAsksNothing();
    void cancelledDialogDoesNothing();
    void savesTheTrackChosenInTheTrackField();
    void stopDuringARipFinishesTheFile();
    void ripStartedDuringPlaybackHoldsIt();

private:
    std::unique_ptr<TMainForm> makeForm();
    // The dialog's answer: a file in this test's folder (empty: cancelled).
    QString m_answer;
    int m_dialogs = 0;
    QString m_folder;
};

void SaveWindowTest::init()
{
    m_dialogs = 0;
    m_folder = rilvane::test::workFolder() + QStringLiteral("/") + QTest::currentTestFunction();
    QVERIFY(QDir().mkpath(m_folder));
    m_answer = m_folder + QStringLiteral("/track.wav");
}

void SaveWindowTest::cleanup()
{
    QDir(m_folder).removeRecursively();
}

std::unique_ptr<TMainForm> SaveWindowTest::makeForm()
{
    auto form = std::make_unique<TMainForm>(rilvane::test::soundLibrary());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()) || form->terminationRequested() || ui::DriveBox(*form)->count() != 1)
        return nullptr;
    form->saveDialogOverride = [this] {
        ++m_dialogs;
        return m_answer;
    };
    return form;
}

void SaveWindowTest::saveWithoutASelectedDriveAsksNothing()
{
    auto form = makeForm();
    QVERIFY(form);

    ui::DriveBox(*form)->setCurrentIndex(-1);
    int mark = logMark(*form);
    clickButton(ui::SaveTrack(*form));
    QCOMPARE(logSince(*form, mark), QStringList{kNoDrive});

    ui::DriveBox(*form)->clear();
    mark = logMark(*form);
    clickButton(ui::SaveTrack(*form));
    QCOMPARE(logSince(*form, mark), QStringList{kNoDrive});

    QCOMPARE(m_dialogs, 0);
    QVERIFY(QDir(m_folder).isEmpty());
}

void SaveWindowTest::cancelledDialogDoesNothing()
{
    auto form = makeForm();
    QVERIFY(form);
    m_answer.clear();
    const int mark = logMark(*form);
    clickButton(ui::SaveTrack(*form));
    QCOMPARE(m_dialogs, 1);
    QCOMPARE(logSince(*form, mark), QStringList());
    QVERIFY(QDir(m_folder).isEmpty());
    QCOMPARE(form->currentSector(), 0);
    QCOMPARE(form->trackTable().count, 1);  // no table of contents was read
}

void SaveWindowTest::savesTheTrackChosenInTheTrackField()
{
    auto form = makeForm();
    QVERIFY(form);
    ui::STrackEd(*form)->setFocus();
    QTest::keyClick(ui::STrackEd(*form), Qt::Key_Up);
    QCOMPARE(ui::STrackEd(*form)->value(), 2);

    // Save, Play and Save again while the rip runs: both presses are
    // ignored, the rip goes on undisturbed.
    int pressedAt = -1;
    PumpHook hook(*form, [&](PumpHook& self) {
        pressedAt = form->currentSector();
        clickButton(ui::SaveTrack(*form));
        clickButton(ui::PlayBtn(*form));
        self.finish();
    });
    const int mark = logMark(*form);
    clickButton(ui::SaveTrack(*form));
    QVERIFY(!hook.timedOut());
    QCOMPARE(pressedAt, kTrack2);
    QCOMPARE(m_dialogs, 1);
    QCOMPARE(logSince(*form, mark), (QStringList{kTocRead, kTracks, kStarting, kFinished}));

    const QString problem = checkWavFile(m_answer, kTrack2, kTrack2Blocks * 10);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(form->currentSector(), kTrack2 + kTrack2Blocks * 10);
    QCOMPARE(ui::StartSec(*form)->value(), kTrack2 + kTrack2Blocks * 10);
    QVERIFY(!form->ripRunning());
    QVERIFY(!form->playbackRunning());
}

void SaveWindowTest::stopDuringARipFinishesTheFile()
{
    auto form = makeForm();
    QVERIFY(form);
    ui::STrackEd(*form)->setEditText(QStringLiteral("2"));
    int32_t stoppedAt = -1;
    PumpHook hook(*form, [&](PumpHook& self) {
        if (form->currentSector() < kTrack2 + 300) return;
        stoppedAt = form->currentSector();
        clickButton(ui::StopBtn(*form));
        self.finish();
    });
    const int mark = logMark(*form);
    clickButton(ui::SaveTrack(*form));
    QVERIFY(!hook.timedOut());
    QVERIFY(stoppedAt >= kTrack2 + 300);
    QCOMPARE(logSince(*form, mark), (QStringList{kTocRead, kTracks, kStarting, kFinished}));

    // The block in front of which Stop was pressed is the last one read.
    const int32_t end = stoppedAt + 10;
    QCOMPARE(form->currentSector(), end);
    QCOMPARE(ui::StartSec(*form)->value(), end);
    QVERIFY(form->stopRequested());
    const QString problem = checkWavFile(m_answer, kTrack2, end - kTrack2);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void SaveWindowTest::ripStartedDuringPlaybackHoldsIt()
{
    auto form = makeForm();
    QVERIFY(form);
    ui::STrackEd(*form)->setEditText(QStringLiteral("2"));

    // Playback from 500; at 600 Save is pressed and the rip runs to its end
    // inside the playback's loop; the playback then reads on from where the
    // rip left the current sector (2213, a position playback itself never
    // reaches from 500 in steps of ten).
    const int32_t ripEnd = kTrack2 + kTrack2Blocks * 10;
    int32_t savedAt = -1;
    int32_t afterRip = -1;
    bool playbackHeld = false;
    QStringList failures;
    PumpHook hook(*form, [&](PumpHook& self) {
        const int32_t at = form->currentSector();
        if (savedAt < 0) {
            if (at < 600 || form->ripRunning()) return;
            savedAt = at;
            clickButton(ui::SaveTrack(*form));  // the whole rip runs here
            afterRip = form->currentSector();
            playbackHeld = form->playbackRunning();
            return;
        }
        if (at == afterRip) return;  // the playback's own read after the rip is under way
        if (at < ripEnd || (at - ripEnd) % 10 != 0)
            failures << QStringLiteral("playback read on at %1").arg(at);
        if (at >= ripEnd + 100) {
            clickButton(ui::StopBtn(*form));
            self.finish();
        }
    });
    const int mark = logMark(*form);
    clickButton(ui::PlayBtn(*form));
    QVERIFY(!hook.timedOut());
    QVERIFY(savedAt >= 600);
    QVERIFY(playbackHeld);
    QCOMPARE(afterRip, ripEnd);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    QVERIFY(form->currentSector() > ripEnd + 100);
    QCOMPARE((form->currentSector() - ripEnd) % 10, 0);

    QCOMPARE(logSince(*form, mark),
             (QStringList{kTocRead, kTracks, kTocRead, kTracks, kStarting, kFinished, kStopped}));
    // No playback read slipped in between the rip's.
    const QString problem = checkWavFile(m_answer, kTrack2, kTrack2Blocks * 10);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

int main(int argc, char** argv)
{
    return rilvane::test::runSessionWindowTests(
        argc, argv,
        [](const QString& folder) {
            const std::string discs = folder.toStdString();
            std::string error;
            if (!rilvane::test::makeDisc(discs, "SAVE", {1003, 1205, 600}, {}, gDisc, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return false;
            }
            const std::string drives = "D=" + gDisc.driveEntry();
            setenv("RILVANE_VIRTUAL_DRIVES", drives.c_str(), 1);
            return rilvane::test::usePacedCaptureDevice(discs, discs + "/capture.raw", 8 * 176400);
        },
        [](int count, char** args) { return rilvane::test::runTest<SaveWindowTest>(count, args); });
}

#include "SaveWindowTest.moc"
