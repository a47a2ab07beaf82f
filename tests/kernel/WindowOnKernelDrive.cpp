// The window, offscreen, playing from drives of a real kernel (run by
// guest-tests.sh in the test machine, not by ctest on the host):
//   RILVANE_WINDOW_AUDIO_DRIVE  part of the drive list entry of an audio disc
//   RILVANE_WINDOW_DATA_DRIVE   part of the entry of a drive with a data disc
// The audio disc plays without a failed read; on the data disc every block
// is a failed one with its own line, and nothing of it reaches the sound.
#include "FormControls.h"
#include "SessionTestSupport.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/SpinEdit.h"
#include "controls/ButtonsXP.h"

#include <QComboBox>
#include <QtTest>

#include <cstdlib>
#include <memory>

using rilvane::test::clickButton;
using rilvane::test::logMark;
using rilvane::test::logSince;
using rilvane::test::PumpHook;
namespace ui = rilvane::test::ui;

namespace {

std::unique_ptr<TMainForm> formOn(const char* variable)
{
    const char* part = std::getenv(variable);
    if (part == nullptr)
        return nullptr;
    auto form = std::make_unique<TMainForm>(rilvane::test::soundLibrary());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()) || form->terminationRequested())
        return nullptr;
    for (int i = 0; i < ui::DriveBox(*form)->count(); ++i) {
        if (ui::DriveBox(*form)->itemText(i).contains(QString::fromUtf8(part))) {
            ui::DriveBox(*form)->setCurrentIndex(i);
            return form;
        }
    }
    return nullptr;
}

}  // namespace

class WindowOnKernelDrive : public QObject {
    Q_OBJECT

private slots:
    void audioDiscPlays()
    {
        auto form = formOn("RILVANE_WINDOW_AUDIO_DRIVE");
        QVERIFY(form);
        ui::StartSec(*form)->setEditText(QStringLiteral("0"));
        PumpHook hook(*form, [&](PumpHook& self) {
            if (form->currentSector() >= 200) {
                clickButton(ui::StopBtn(*form));
                self.finish();
            }
        });
        const int mark = logMark(*form);
        clickButton(ui::PlayBtn(*form));
        QVERIFY(!hook.timedOut());
        const QStringList lines = logSince(*form, mark);
        QVERIFY2(lines.size() >= 3, qPrintable(lines.join('\n')));
        QCOMPARE(lines[0], QStringLiteral("TOC eingelesen..."));
        QCOMPARE(lines[1], QStringLiteral("3 Tracks gefunden..."));
        QVERIFY2(lines.filter(QStringLiteral("Fehler")).isEmpty(), qPrintable(lines.join('\n')));
    }

    void dataDiscIsNeverPlayed()
    {
        auto form = formOn("RILVANE_WINDOW_DATA_DRIVE");
        QVERIFY(form);
        ui::StartSec(*form)->setEditText(QStringLiteral("0"));
        PumpHook hook(*form, [](PumpHook&) {});
        const int mark = logMark(*form);
        clickButton(ui::PlayBtn(*form));
        QVERIFY(!hook.timedOut());
        const QStringList lines = logSince(*form, mark);
        QVERIFY2(lines.size() >= 3, qPrintable(lines.join('\n')));
        QCOMPARE(lines[0], QStringLiteral("TOC eingelesen..."));
        QCOMPARE(lines[2], QStringLiteral("Fehler: Block ab Sektor 0 liegt in einem Datentrack, nicht als Audio gelesen..."));
        // Eleven refused blocks in a row end playback, as for any failed block.
        QCOMPARE(lines.filter(QStringLiteral("liegt in einem Datentrack")).size(), 11);
        QCOMPARE(lines.last(), QStringLiteral("Wiedergabe gestoppt..."));
    }
};

int main(int argc, char** argv)
{
    return rilvane::test::runWindowTests(argc, argv, rilvane::test::runTest<WindowOnKernelDrive>);
}

#include "WindowOnKernelDrive.moc"
