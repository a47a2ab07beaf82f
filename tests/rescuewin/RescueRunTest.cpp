// The rescue window's own rescue, offscreen, on a virtual disc whose bad
// sectors read on their third try, 200 ms a failing read: Start, Stop after
// the read in progress (the map on the disk says what is missing), Start
// again to finish, with the checksums and files in the table.
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include "DiscGenerator.h"
#include "RescueWindow.h"

using namespace rilvane;
using namespace rilvane::rescuewin;

class RescueRunTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void stopsAndContinuesToTheEnd();
    void refusesToStartWithoutAFolder();

private:
    QTemporaryDir dir_;
};

void RescueRunTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    makedisc::DiscPlan plan;
    plan.out = QDir(dir_.path()).filePath("disc/slow").toStdString();
    plan.lengths = {1500, 1500};
    // Reads take their time: the drive shows it keeps no cache, so the
    // rescue can confirm what it read and end complete.
    plan.defects = {"speed 100", "1000-1014 flaky 2 03/11/00 200"};
    makedisc::GeneratedDisc disc;
    std::string error;
    QVERIFY2(makedisc::writeDisc(plan, disc, error), error.c_str());
    // The platform reads the virtual drives when it first looks for drives.
    const std::string drives = "E=" + disc.cuePath + "," + disc.defectsPath;
    ::setenv("RILVANE_VIRTUAL_DRIVES", drives.c_str(), 1);
    ::setenv("RILVANE_NO_REAL_DRIVES", "1", 1);
}

void RescueRunTest::stopsAndContinuesToTheEnd()
{
    const QString out = QDir(dir_.path()).filePath("rescue");
    RescueArguments args;
    args.drive = 0;
    args.outDir = out.toStdString();
    RescueWindow window(args);
    QSignalSpy ended(&window, &RescueWindow::rescueEnded);

    QVERIFY(window.startRescue());
    QVERIFY(window.rescueRunning());
    QVERIFY(!window.startRescue());  // one at a time
    QVERIFY(window.rescueRunning());
    // Stop once the first failing read was made: the narrowing that follows
    // has 15 sectors of 200 ms failures before it.
    QTRY_VERIFY_WITH_TIMEOUT(window.logPane()->toPlainText().contains(QStringLiteral("Fehler")), 30000);
    window.stopRescue();
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
    QCOMPARE(ended.at(0).at(0).toInt(), 1);
    QCOMPARE(window.exitStatus(), 1);
    QVERIFY(!window.rescueRunning());
    QVERIFY(window.logPane()->toPlainText().contains(QStringLiteral("Angehalten")));
    // The map on the disk is what the window shows: sectors still missing.
    std::string error;
    const auto stopped = DiscState::load(QDir(out).filePath("disc.map").toStdString(), error);
    QVERIFY2(stopped, error.c_str());
    QVERIFY(stopped->counts().missing() > 0);
    QCOMPARE(window.disc().counts().missing(), stopped->counts().missing());

    QVERIFY(window.startRescue());
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 60000);
    QCOMPARE(ended.at(1).at(0).toInt(), 0);
    QCOMPARE(window.exitStatus(), 0);
    QCOMPARE(window.disc().counts().missing(), 0);
    QTableWidget* table = window.trackTable();
    QCOMPARE(table->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(table->item(row, 6)->text().size(), 8);  // CRC32
        QCOMPARE(table->item(row, 8)->text(), QStringLiteral("track%1.wav").arg(row + 1, 2, 10, QChar('0')));
    }
}

void RescueRunTest::refusesToStartWithoutAFolder()
{
    RescueArguments args;
    RescueWindow window(args);
    QVERIFY(!window.startRescue());
    QVERIFY(!window.rescueRunning());
    QVERIFY(window.logPane()->toPlainText().contains(QStringLiteral("Zielordner")));
    QCOMPARE(window.exitStatus(), 1);  // asked for, not done
}

QTEST_MAIN(RescueRunTest)
#include "RescueRunTest.moc"
