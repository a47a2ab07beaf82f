// The rescue window offscreen, on rescue folders written here: it shows a
// folder's map, follows it as a rescue replaces it, names what lies under
// the pointer, and survives a map that is not one.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "DiscView.h"
#include "rescue/RescueMap.h"
#include "RescueWindow.h"
#include "StateLegend.h"

using namespace rilvane;
using namespace rilvane::rescuewin;

namespace {

rescue::RescueMap sampleMap()
{
    rescue::DiscLayout layout;
    layout.trackStarts = {0, 9000, 15000};
    layout.leadOut = 16000;
    layout.dataTrack = {false, false, true};
    rescue::RescueMap map(layout);
    for (int32_t s = 0; s < 8000; ++s) map.set(s, rescue::SectorState::Good, 1);
    for (int32_t s = 8000; s < 8010; ++s) map.set(s, rescue::SectorState::Failed, 4);
    map.set(8010, rescue::SectorState::Suspect, 2, 17);
    for (int32_t s = 8011; s < 9000; ++s) map.set(s, rescue::SectorState::Verified, 1);
    return map;
}

void save(const rescue::RescueMap& map, const QString& folder)
{
    std::string error;
    QVERIFY2(map.save(QDir(folder).filePath("disc.map").toStdString(), error), error.c_str());
}

RescueArguments openArgs(const QString& folder)
{
    RescueArguments args;
    args.folder = folder.toStdString();
    return args;
}

}  // namespace

class RescueWindowTest : public QObject {
    Q_OBJECT
private slots:
    void showsAFoldersMapAndFollowsIt();
    void waitsForARescueToBegin();
    void namesTheSectorUnderThePointer();
};

void RescueWindowTest::showsAFoldersMapAndFollowsIt()
{
    QTemporaryDir dir;
    rescue::RescueMap map = sampleMap();
    save(map, dir.path());
    RescueWindow window(openArgs(dir.path()));

    QTableWidget* table = window.trackTable();
    QCOMPARE(table->rowCount(), 3);
    auto cell = [&](int row, int column) { return table->item(row, column) ? table->item(row, column)->text() : QString(); };
    QCOMPARE(cell(0, 1), QStringLiteral("02:00.00"));
    QCOMPARE(cell(0, 2), QStringLiteral("8000"));  // good
    QCOMPARE(cell(0, 3), QStringLiteral("989"));   // verified
    QCOMPARE(cell(0, 4), QStringLiteral("1"));     // suspect
    QCOMPARE(cell(0, 5), QStringLiteral("10"));    // missing
    QCOMPARE(cell(1, 5), QStringLiteral("6000"));  // untried
    QVERIFY(cell(2, 8).contains(QStringLiteral("Datentrack")));
    QCOMPARE(window.legend()->entryText(SectorState::Failed), QStringLiteral("unlesbar: 10"));
    QCOMPARE(window.legend()->entryText(SectorState::Data), QStringLiteral("Datentrack: 1000"));
    QVERIFY(window.passLabel()->text().startsWith(QStringLiteral("Durchgang 1")));
    QCOMPARE(window.exitStatus(), 1);

    // A rescue replaces the map: the window follows.
    for (int32_t s = 0; s < 15000; ++s) map.set(s, rescue::SectorState::Good, 1);
    save(map, dir.path());
    QTRY_COMPARE_WITH_TIMEOUT(cell(1, 5), QStringLiteral("0"), 5000);
    QCOMPARE(window.exitStatus(), 0);
    QVERIFY(window.passLabel()->text().startsWith(QStringLiteral("Vollständig gelesen")));

    // A file that is no map is reported and changes nothing shown.
    QFile broken(QDir(dir.path()).filePath("disc.map"));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("rilvane-rescue-map 1\ntoc 0 100\n0-20 good\n");
    broken.close();
    QTRY_VERIFY_WITH_TIMEOUT(window.logPane()->toPlainText().contains(QStringLiteral("nicht lesbar")), 5000);
    QCOMPARE(window.exitStatus(), 0);
    QCOMPARE(table->rowCount(), 3);
}

void RescueWindowTest::waitsForARescueToBegin()
{
    QTemporaryDir dir;
    RescueWindow window(openArgs(dir.path()));
    QVERIFY(window.disc().empty());
    QVERIFY(window.logPane()->toPlainText().contains(QStringLiteral("noch keine Rettung")));
    QCOMPARE(window.exitStatus(), 0);
    save(sampleMap(), dir.path());
    QTRY_COMPARE_WITH_TIMEOUT(window.trackTable()->rowCount(), 3, 5000);
    QCOMPARE(window.disc().sectors(), 16000);
}

void RescueWindowTest::namesTheSectorUnderThePointer()
{
    QTemporaryDir dir;
    save(sampleMap(), dir.path());
    RescueWindow window(openArgs(dir.path()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.discView()->flush();
    // The middle sector of the failed run: every cell it passes shows damage,
    // so the pointer there names a failed sector of the run.
    const QString text = window.discView()->describeAt(window.discView()->widgetPointOf(8005));
    QVERIFY2(text.contains(QStringLiteral("unlesbar · 4 Versuche")), qPrintable(text));
    QVERIFY2(text.startsWith(QStringLiteral("Track 1 · 01:4")), qPrintable(text));
    QVERIFY(window.discView()->describeAt(QPoint(1, 1)).isEmpty());
}

QTEST_MAIN(RescueWindowTest)
#include "RescueWindowTest.moc"
