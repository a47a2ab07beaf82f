// Saving a track through the real buttons of the main window. Drive D: holds
// three stamped tracks of 1003, 1205 and 600 sectors (starts 0, 1003, 2208;
// lead-out 2808). The save dialog is answered through saveDialogOverride.

#include "FormControls.h"
#include "SessionTestSupport.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/SpinEdit.h"
#include "controls/ButtonsXP.h"
#include "platform/FolderNames.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
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
    void typedNameWithQuotesIsSavedUnderThatName();
    void dialogListsWhatChangedWhileItWasHidden();
    void chosenNameThatIsNotUtf8IsThatFile();

private:
    // Opens the real save dialog with Save and, once it shows, lets `answer`
    // act on it; false when the dialog never showed.
    bool throughTheDialog(TMainForm& form, const std::function<void(QFileDialog&)>& answer);
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

    // Save, Play, Save again and the four buttons that move the position,
    // while the rip runs: every press is ignored, the rip goes on
    // undisturbed and the file holds each sector of the track once.
    int pressedAt = -1;
    PumpHook hook(*form, [&](PumpHook& self) {
        if (form->currentSector() < kTrack2 + 100) return;
        pressedAt = form->currentSector();
        clickButton(ui::SaveTrack(*form));
        clickButton(ui::PlayBtn(*form));
        for (QAbstractButton* button : {static_cast<QAbstractButton*>(ui::RewBtn(*form)),
                                        static_cast<QAbstractButton*>(ui::FwdBtn(*form)),
                                        static_cast<QAbstractButton*>(ui::NextBtn(*form)),
                                        static_cast<QAbstractButton*>(ui::LastBtn(*form))})
            clickButton(button);
        QCOMPARE(form->currentSector(), pressedAt);
        self.finish();
    });
    const int mark = logMark(*form);
    clickButton(ui::SaveTrack(*form));
    QVERIFY(!hook.timedOut());
    QVERIFY(pressedAt >= kTrack2 + 100);
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

    // Stop wins over the block it was pressed in front of: the one before
    // it is the last one read.
    const int32_t end = stoppedAt;
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
    QVERIFY(form->currentSector() >= ripEnd + 100);
    QCOMPARE((form->currentSector() - ripEnd) % 10, 0);

    QCOMPARE(logSince(*form, mark),
             (QStringList{kTocRead, kTracks, kTocRead, kTracks, kStarting, kFinished, kStopped}));
    // No playback read slipped in between the rip's.
    const QString problem = checkWavFile(m_answer, kTrack2, kTrack2Blocks * 10);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

bool SaveWindowTest::throughTheDialog(TMainForm& form, const std::function<void(QFileDialog&)>& answer)
{
    form.saveDialogOverride = nullptr;
    QFileDialog& dialog = *ui::SaveDialog1(form);
    dialog.setDirectory(m_folder);
    bool shown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shown || !dialog.isVisible()) return;
        shown = true;
        answer(dialog);
    });
    poll.start(10);
    QTimer guard;  // never left waiting
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&dialog] { dialog.reject(); });
    guard.start(15000);
    clickButton(ui::SaveTrack(form));
    return shown;
}

namespace {

void typeAndSave(QFileDialog& dialog, const QString& name)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Answers the next message box that shows (within the dialog's life) with
// `button`.
void answerNextMessageBox(QFileDialog& dialog, QMessageBox::StandardButton button, bool& asked)
{
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, [poll, button, &asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        asked = true;
        box->button(button)->click();
        poll->stop();
        poll->deleteLater();
    });
    poll->start(10);
}

}  // namespace

// Qt's dialog reads a name with '"' as a list of quoted names and would save
// `My "Best" Song.wav` as `Best.wav`: the name is taken as typed, with the
// default suffix where it has none, and an existing file of that name is
// replaced only after the question.
void SaveWindowTest::typedNameWithQuotesIsSavedUnderThatName()
{
    auto form = makeForm();
    QVERIFY(form);
    for (const QString& typed : {QStringLiteral("My \"Best\" Song.wav"), QStringLiteral("x\"y")}) {
        QVERIFY(throughTheDialog(*form, [&](QFileDialog& dialog) { typeAndSave(dialog, typed); }));
        const QString saved = m_folder + u'/' + (typed.endsWith(QStringLiteral(".wav")) ? typed : typed + ".wav");
        const QString problem = checkWavFile(saved, 0, 1010);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Replacing one: asked first; No keeps it, Yes replaces it.
    const QString existing = m_folder + QStringLiteral("/a\"b.wav");
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        {
            QFile old(existing);
            QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write("older file");
        }
        bool asked = false;
        QVERIFY(throughTheDialog(*form, [&](QFileDialog& dialog) {
            answerNextMessageBox(dialog, button, asked);
            typeAndSave(dialog, QStringLiteral("a\"b.wav"));
            if (dialog.isVisible()) dialog.reject();  // No: the dialog stays open
        }));
        QVERIFY(asked);
        if (button == QMessageBox::No) {
            QFile kept(existing);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("older file"));
        } else {
            const QString problem = checkWavFile(existing, 0, 1010);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
    }
}

// The dialog follows its folder only while it is shown: what changed while
// it was hidden (here a file written by someone else) is listed when it
// shows again.
void SaveWindowTest::dialogListsWhatChangedWhileItWasHidden()
{
    auto form = makeForm();
    QVERIFY(form);
    auto listed = [](QFileDialog& dialog) {
        QStringList names;
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        if (!view) return names;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names << view->model()->index(row, 0, root).data().toString();
        return names;
    };
    QVERIFY(throughTheDialog(*form, [](QFileDialog& dialog) { dialog.reject(); }));
    {
        QFile later(m_folder + QStringLiteral("/later.wav"));
        QVERIFY(later.open(QIODevice::WriteOnly));
    }
    bool seen = false;
    QVERIFY(throughTheDialog(*form, [&](QFileDialog& dialog) {
        seen = QTest::qWaitFor([&] { return listed(dialog).contains(QStringLiteral("later.wav")); }, 5000);
        dialog.reject();
    }));
    QVERIFY(seen);
}

// A name whose bytes are not UTF-8 reaches the window with U+FFFD in it;
// saving over it replaces that very file instead of making a second one.
void SaveWindowTest::chosenNameThatIsNotUtf8IsThatFile()
{
    auto form = makeForm();
    QVERIFY(form);
    const QByteArray folder = QFile::encodeName(m_folder);
    const QByteArray raw = folder + "/caf\xe9.wav";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "older file", 10), 10);
    ::close(fd);
    const QString shown = QFile::decodeName(raw);
    QVERIFY(shown.contains(QChar(0xFFFD)));

    m_answer = shown;
    clickButton(ui::SaveTrack(*form));
    // Qt cannot list such a name: the folder is read byte for byte.
    const std::vector<std::string> names = rilvane::platform::folderEntryNames(folder.toStdString());
    const int in = ::open(raw.constData(), O_RDONLY);
    char header[4] = {};
    const bool read = in >= 0 && ::read(in, header, 4) == 4;
    if (in >= 0) ::close(in);
    ::unlink(raw.constData());  // which Qt could not remove either
    QCOMPARE(names, std::vector<std::string>{"caf\xe9.wav"});
    QVERIFY(read);
    QCOMPARE(QByteArray(header, 4), QByteArray("RIFF"));
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
