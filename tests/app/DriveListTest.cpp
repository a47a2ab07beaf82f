// The drive list after start-up with two virtual drives. The same test runs
// in two programs, one with the drives on drive letters D: and F: (pass-through)
// and one with them behind the ASPI layer; RILVANE_TEST_EXPECT_ASPI says which.

#include "FormControls.h"
#include "WindowTestSupport.h"
#include "app/LogCategory.h"
#include "app/MainUnit.h"

#include <QComboBox>

namespace ui = rilvane::test::ui;

namespace {

QString paddedName(const char* name)
{
    return QString::fromLatin1(name).leftJustified(16, u' ');
}

QStringList mirrored;

void recordMirror(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (context.category != nullptr && QByteArray(context.category) == "rilvane.log")
        mirrored << message;
}

}  // namespace

class DriveListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsTheDrivesAndSelectsTheFirst();
    void logLinesAreMirroredWhenEnabled();
};

void DriveListTest::listsTheDrivesAndSelectsTheFirst()
{
    rilvane::test::MessageRecorder messages;
    TMainForm form(rilvane::test::soundLibrary());
    QVERIFY(messages.requests.isEmpty());
    QCOMPARE(form.driveTable().count, 2);
    QCOMPARE(ui::DriveBox(form)->count(), 2);
    QCOMPARE(ui::DriveBox(form)->currentIndex(), 0);
    QVERIFY(!rilvane::test::logLines(form).contains(QStringLiteral("Es wurden keine CD-Laufwerke gefunden!")));

    if (qEnvironmentVariableIsSet("RILVANE_TEST_EXPECT_ASPI")) {
        QCOMPARE(form.transportMode(), rilvane::TransportMode::Aspi);
        QCOMPARE(ui::DriveBox(form)->itemText(0), paddedName("ALPHA CD"));
        QCOMPARE(ui::DriveBox(form)->itemText(1), paddedName("BETA CD"));
    } else {
        QCOMPARE(form.transportMode(), rilvane::TransportMode::Spti);
        QCOMPARE(ui::DriveBox(form)->itemText(0), QStringLiteral("D: ") + paddedName("ALPHA CD"));
        QCOMPARE(ui::DriveBox(form)->itemText(1), QStringLiteral("F: ") + paddedName("BETA CD"));
    }
}

void DriveListTest::logLinesAreMirroredWhenEnabled()
{
    QVERIFY(lcRilvaneLog().isInfoEnabled());  // QT_LOGGING_RULES="rilvane.log=true"
    TMainForm form(rilvane::test::soundLibrary());
    mirrored.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMirror);
    form.logLine(QStringLiteral("Lesefehler bei Sektor 3000..."));
    form.logLine(std::string("Wiedergabe gestoppt..."));
    qInstallMessageHandler(previous);
    QCOMPARE(mirrored, (QStringList{QStringLiteral("Lesefehler bei Sektor 3000..."),
                                    QStringLiteral("Wiedergabe gestoppt...")}));
    QCOMPARE(rilvane::test::logLines(form).mid(rilvane::test::logLines(form).size() - 2), mirrored);
}

int main(int argc, char** argv)
{
    return rilvane::test::runWindowTests(argc, argv, [](int count, char** args) {
        return rilvane::test::runTest<DriveListTest>(count, args);
    });
}

#include "DriveListTest.moc"
