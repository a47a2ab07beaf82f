// Start-up when the sound output cannot be set up. The same program runs with
// the sound library missing (RILVANE_LIBRARY_DIR names an empty folder), with
// ALSA's default device on a card that does not exist, and with a device that
// refuses the format; SOUND_FAILURE_EXPECT holds the start of what the second
// paragraph must say in each case.

#include "FormControls.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"

#include <QComboBox>

namespace ui = rilvane::test::ui;

class SoundFailureTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheMessageOnceAndEndsAsAFailureWithoutTheClosingQuestion();
};

void SoundFailureTest::showsTheMessageOnceAndEndsAsAFailureWithoutTheClosingQuestion()
{
    const QString expected = qEnvironmentVariable("SOUND_FAILURE_EXPECT");
    QVERIFY(!expected.isEmpty());
    rilvane::test::MessageRecorder messages;
    TMainForm form(rilvane::test::soundLibrary());

    QCOMPARE(messages.requests.size(), 1);
    const rilvane::MessageRequest& request = messages.requests.first();
    // The box's first paragraph as it always was; the second says what went
    // wrong and what to do.
    const QStringList paragraphs = request.text.split(QStringLiteral("\n\n"));
    QCOMPARE(paragraphs.size(), 2);
    QCOMPARE(paragraphs[0], QStringLiteral("Konnte DirectSound (DirectX) nicht initialisieren..."));
    QVERIFY2(paragraphs[1].startsWith(expected), qPrintable(paragraphs[1]));
    QVERIFY2(paragraphs[1].contains(QStringLiteral("\nAbhilfe: ")), qPrintable(paragraphs[1]));
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

    // The message loop ends as soon as it runs, without asking to close, and
    // with a status that says the program failed.
    form.show();
    QCOMPARE(QApplication::exec(), 1);
    QCOMPARE(messages.requests.size(), 1);
}

int main(int argc, char** argv)
{
    return rilvane::test::runWindowTests(argc, argv, [](int count, char** args) {
        return rilvane::test::runTest<SoundFailureTest>(count, args);
    });
}

#include "SoundFailureTest.moc"
