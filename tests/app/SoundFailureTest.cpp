// Start-up when the sound output cannot be set up: the sound library is not
// found (RILVANE_LIBRARY_DIR names an empty folder).

#include "FormControls.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"

#include <QComboBox>

namespace ui = rilvane::test::ui;

class SoundFailureTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheMessageOnceAndEndsWithoutTheClosingQuestion();
};

void SoundFailureTest::showsTheMessageOnceAndEndsWithoutTheClosingQuestion()
{
    rilvane::test::MessageRecorder messages;
    TMainForm form(rilvane::test::soundLibrary());

    QCOMPARE(messages.requests.size(), 1);
    const rilvane::MessageRequest& request = messages.requests.first();
    QCOMPARE(request.text, QStringLiteral("Konnte DirectSound (DirectX) nicht initialisieren..."));
    QVERIFY(request.title.isEmpty());
    QCOMPARE(request.buttons, QMessageBox::Ok);
    QVERIFY(form.terminationRequested());
    QVERIFY(!form.sound().isSetUp());

    // Start-up went on: discovery ran and the list was filled (here: empty).
    // The sound failure itself wrote nothing into the log pane.
    const QStringList log = rilvane::test::logLines(form);
    QVERIFY(!log.isEmpty());
    QCOMPARE(log.last(), QStringLiteral("Es wurden keine CD-Laufwerke gefunden!"));
    for (const QString& line : log)
        QVERIFY2(!line.contains(QStringLiteral("DirectSound")), qPrintable(line));
    QCOMPARE(ui::DriveBox(form)->count(), 0);

    // The message loop ends as soon as it runs, without asking to close.
    form.show();
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(messages.requests.size(), 1);
}

int main(int argc, char** argv)
{
    return rilvane::test::runWindowTests(argc, argv, [](int count, char** args) {
        return rilvane::test::runTest<SoundFailureTest>(count, args);
    });
}

#include "SoundFailureTest.moc"
