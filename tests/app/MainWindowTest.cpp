// The main window without any CD drive: start-up, layout, the position field,
// closing (also while a read loop runs), the web button, the save dialog and
// the waveform view.

#include "MainWindowTest.h"

#include "FormControls.h"
#include "WindowTestSupport.h"
#include "app/BevelPanel.h"
#include "app/FormSessionWindow.h"
#include "app/KaraokeLink.h"
#include "app/LogCategory.h"
#include "app/MainUnit.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "app/StatusBar.h"
#include "controls/ButtonsXP.h"
#include "controls/ImageBtnUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <limits>

namespace ui = rilvane::test::ui;

using rilvane::test::MessageRecorder;

namespace {

QRect placeIn(const QWidget* widget, const QWidget* ancestor)
{
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsWithDefaultsAndNoDrive();
    void controlsSitWhereTheyAreDocked();
    void positionFieldHasNoBoundsAndReadsTextAsNumber();
    void trackFieldStaysWithinItsBounds();
    void cancelledCloseChangesNothing();
    void closeDuringReadLoopStopsItAndEndsTheProgram();
    void webButtonOpensTheSite();
    void saveDialogIsSetUpForWavFiles();
    void waveformViewIsWhiteAfterRepaint();
    void logLinesAreAppendedAndNotMirroredByDefault();
    void sessionsSeeTheWindowsState();
};

void MainWindowTest::startsWithDefaultsAndNoDrive()
{
    MessageRecorder messages;
    TMainForm form(rilvane::test::soundLibrary());
    QVERIFY2(!form.terminationRequested(), "the sound set-up failed: no usable test sound device");
    QVERIFY(messages.requests.isEmpty());

    // A working drive layer that finds nothing says nothing of its own.
    QCOMPARE(rilvane::test::logLines(form), QStringList{QStringLiteral("Es wurden keine CD-Laufwerke gefunden!")});
    QCOMPARE(ui::DriveBox(form)->count(), 0);
    QCOMPARE(ui::DriveBox(form)->currentIndex(), -1);

    QCOMPARE(form.windowTitle(), QStringLiteral("Tormend Rilvane 1.0"));
    QCOMPARE(ui::StartSec(form)->editText(), QStringLiteral("500"));
    QCOMPARE(ui::Label3(form)->text(), QStringLiteral("Track no. 1 Time 00:00:00 s"));
    QCOMPARE(ui::STrackEd(form)->editText(), QStringLiteral("1"));
    QVERIFY(!ui::KaraokeCheck(form)->isChecked());
    QCOMPARE(form.currentSector(), 0);
    QVERIFY(!form.stopRequested());
    QCOMPARE(form.trackTable().count, 1);
    QCOMPARE(form.trackTable().slot(1), 500);
    QCOMPARE(form.trackTable().slot(2), 450000);
    QCOMPARE(form.progressPercent(), 0);
    QCOMPARE(form.progressRect().right, 0);
    QVERIFY(ui::Memo1(form)->isReadOnly());
    QVERIFY(form.sound().isSetUp());

    // Every control of the design is there, and nothing is disabled.
    const QStringList designed = {
        "StatusBar1", "Panel7", "wwwBtn", "Panel8", "ueberbtn", "endebtn", "OuterPanel", "PageControl2",
        "TabSheet3", "Panel2", "RxLabel2", "Panel6", "Panel9", "Image1", "Panel12", "RxLabel5", "Panel1",
        "Memo1", "ScrollBox1", "PaintBox1", "Panel3", "Panel4", "Label2", "DriveBox", "Label1", "StartSec",
        "Label3", "KaraokeCheck", "PlayBtn", "StopBtn", "RewBtn", "FwdBtn", "LastBtn", "NextBtn", "Label4",
        "STrackEd", "SaveTrack"};
    for (const QString& name : designed) {
        const auto* control = form.findChild<QWidget*>(name);
        QVERIFY2(control != nullptr, qPrintable(name));
        QVERIFY2(control->isEnabled(), qPrintable(name));
    }
}

void MainWindowTest::controlsSitWhereTheyAreDocked()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    form.resize(622, 489);
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const QRect status = placeIn(ui::StatusBar1(form), &form);
    QCOMPARE(status, QRect(0, 489 - 19, 622, 19));
    QCOMPARE(placeIn(ui::Panel7(form), &form), QRect(0, 489 - 19 - 41, 622, 41));
    QCOMPARE(placeIn(ui::wwwBtn(form), ui::Panel7(form)), QRect(5, 5, 137, 33));
    QCOMPARE(placeIn(ui::Panel8(form), ui::Panel7(form)), QRect(622 - 214, 0, 214, 41));
    QCOMPARE(placeIn(ui::ueberbtn(form), ui::Panel8(form)), QRect(0, 8, 101, 30));
    QCOMPARE(placeIn(ui::endebtn(form), ui::Panel8(form)), QRect(104, 8, 101, 30));
    QCOMPARE(placeIn(ui::OuterPanel(form), &form), QRect(0, 0, 622, 489 - 60));

    // The page: a band on top, a column on the left, the rest for Panel1.
    const QRect sheet = placeIn(ui::TabSheet3(form), &form);
    QCOMPARE(placeIn(ui::Panel2(form), &form), QRect(sheet.x(), sheet.y(), sheet.width(), 33));
    QCOMPARE(placeIn(ui::Panel6(form), &form), QRect(sheet.x(), sheet.y() + 33, 209, sheet.height() - 33));
    const QRect panel1 = placeIn(ui::Panel1(form), &form);
    QCOMPARE(panel1, QRect(sheet.x() + 209, sheet.y() + 33, sheet.width() - 209, sheet.height() - 33));

    // Inside Panel1, from top to bottom: Panel3, ScrollBox1, Panel4, Memo1.
    QCOMPARE(placeIn(ui::Panel3(form), ui::Panel1(form)), QRect(0, 0, panel1.width(), 129));
    QCOMPARE(placeIn(ui::Memo1(form), ui::Panel1(form)), QRect(0, panel1.height() - 45, panel1.width(), 45));
    QCOMPARE(placeIn(ui::Panel4(form), ui::Panel1(form)), QRect(0, panel1.height() - 45 - 32, panel1.width(), 32));
    QCOMPARE(placeIn(ui::ScrollBox1(form), ui::Panel1(form)),
             QRect(0, 129, panel1.width(), panel1.height() - 129 - 77));
    QCOMPARE(ui::PaintBox1(form)->size(), ui::ScrollBox1(form)->viewport()->size());

    QCOMPARE(placeIn(ui::Panel9(form), ui::Panel6(form)), QRect(7, 7, 195, 284));
    QCOMPARE(placeIn(ui::Image1(form), ui::Panel9(form)), QRect(1, 1, 193, 281));
    QCOMPARE(placeIn(ui::Panel12(form), ui::Panel9(form)), QRect(8, 8, 177, 73));
    QCOMPARE(placeIn(ui::RxLabel5(form), ui::Panel12(form)), QRect(8, 8, 161, 57));
    QCOMPARE(ui::RxLabel2(form)->pos(), QPoint(16, 10));

    QCOMPARE(placeIn(ui::DriveBox(form), ui::Panel3(form)), QRect(96, 8, 145, 21));
    QCOMPARE(placeIn(ui::StartSec(form), ui::Panel3(form)), QRect(96, 32, 121, 21));
    QCOMPARE(ui::Label3(form)->pos(), QPoint(8, 56));
    QCOMPARE(placeIn(ui::KaraokeCheck(form), ui::Panel3(form)), QRect(8, 72, 217, 17));
    QCOMPARE(placeIn(ui::PlayBtn(form), ui::Panel3(form)), QRect(8, 96, 73, 25));
    QCOMPARE(placeIn(ui::StopBtn(form), ui::Panel3(form)), QRect(88, 96, 65, 25));
    QCOMPARE(placeIn(ui::RewBtn(form), ui::Panel3(form)), QRect(160, 96, 81, 25));
    QCOMPARE(placeIn(ui::FwdBtn(form), ui::Panel3(form)), QRect(248, 96, 81, 25));
    QCOMPARE(placeIn(ui::LastBtn(form), ui::Panel3(form)), QRect(248, 32, 112, 25));
    QCOMPARE(placeIn(ui::NextBtn(form), ui::Panel3(form)), QRect(248, 64, 112, 25));
    QCOMPARE(placeIn(ui::STrackEd(form), ui::Panel4(form)), QRect(120, 4, 65, 21));
    QCOMPARE(placeIn(ui::SaveTrack(form), ui::Panel4(form)), QRect(192, 4, 185, 25));

    QCOMPARE(ui::PageControl2(form)->count(), 1);
    QCOMPARE(ui::PageControl2(form)->tabText(0), QStringLiteral("Audio CD wiedergeben"));
    QVERIFY(!ui::PageControl2(form)->tabIcon(0).isNull());
    QCOMPARE(ui::SaveTrack(form)->text(), QStringLiteral("Track in WAV Datei speichern"));
    QCOMPARE(ui::ueberbtn(form)->toolTip(), QStringLiteral("Informationen über das Programm"));
    QCOMPARE(ui::endebtn(form)->toolTip(), QStringLiteral("Hiermit verlassen Sie das Programm"));

    // A bigger window: the docked parts follow, the fixed ones stay.
    form.resize(800, 600);
    QCoreApplication::processEvents();
    QCOMPARE(placeIn(ui::StatusBar1(form), &form), QRect(0, 600 - 19, 800, 19));
    QCOMPARE(placeIn(ui::Panel8(form), ui::Panel7(form)), QRect(800 - 214, 0, 214, 41));
    QCOMPARE(ui::Memo1(form)->height(), 45);
    QCOMPARE(ui::Panel3(form)->height(), 129);
    QCOMPARE(placeIn(ui::PlayBtn(form), ui::Panel3(form)), QRect(8, 96, 73, 25));
}

void MainWindowTest::positionFieldHasNoBoundsAndReadsTextAsNumber()
{
    TMainForm form(rilvane::test::soundLibrary());
    rilvane::SpinEdit& field = *ui::StartSec(form);

    field.setEditText(QStringLiteral("abc"));
    QCOMPARE(field.value(), 0);
    QCOMPARE(ui::Label3(form)->text(), QStringLiteral("Track no. 1 Time 00:00:00 s"));

    field.setEditText(QStringLiteral("99999999999"));  // not a 32-bit number
    QCOMPARE(field.value(), 0);

    field.setEditText(QStringLiteral("-2000000000"));
    QCOMPARE(field.value(), -2000000000);
    QCOMPARE(ui::Label3(form)->text(), QStringLiteral("Track no. 1 Time 00:00:00 s"));

    field.setEditText(QStringLiteral("2147483647"));
    field.stepBy(1);
    QCOMPARE(field.value(), std::numeric_limits<int32_t>::max());
    field.setEditText(QStringLiteral("-2147483648"));
    field.stepBy(-1);
    QCOMPARE(field.value(), std::numeric_limits<int32_t>::min());

    // Typing takes digits and signs only.
    field.setEditText(QString());
    QTest::keyClicks(&field, QStringLiteral("12a3"));
    QCOMPARE(field.editText(), QStringLiteral("123"));
    QTest::keyClick(&field, Qt::Key_Up);
    QCOMPARE(field.value(), 124);

    // The label follows every change, against the current track table (as a
    // session's table-of-contents read leaves it).
    rilvane::TrackTable& table = form.reading().trackTable;
    table.count = 2;
    table.slot(1) = 0;
    table.slot(2) = 20000;
    table.slot(3) = 90000;
    field.setValue(24500);
    QCOMPARE(ui::Label3(form)->text(), QStringLiteral("Track no. 2 Time 00:01:00 s"));
    table.slot(2) = 24500;
    field.setValue(24500);  // same text: the label is still brought up to date
    QCOMPARE(ui::Label3(form)->text(), QStringLiteral("Track no. 2 Time 00:00:00 s"));
}

void MainWindowTest::trackFieldStaysWithinItsBounds()
{
    TMainForm form(rilvane::test::soundLibrary());
    rilvane::SpinEdit& field = *ui::STrackEd(form);
    QCOMPARE(field.value(), 1);
    field.setEditText(QStringLiteral("300"));
    QCOMPARE(field.value(), 256);
    field.setEditText(QStringLiteral("0"));
    QCOMPARE(field.value(), 1);
    field.setEditText(QStringLiteral("x"));
    QCOMPARE(field.value(), 1);
    field.setValue(256);
    field.stepBy(1);
    QCOMPARE(field.editText(), QStringLiteral("256"));
}

void MainWindowTest::cancelledCloseChangesNothing()
{
    MessageRecorder messages;
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    messages.answer(QMessageBox::Cancel);
    QVERIFY(!form.close());
    QCOMPARE(messages.requests.size(), 1);
    const rilvane::MessageRequest& question = messages.requests.first();
    QCOMPARE(question.title, QStringLiteral("Programm beenden"));
    QCOMPARE(question.text, QStringLiteral("Hiermit beenden Sie das Programm!"));
    QCOMPARE(question.icon, QMessageBox::Information);
    QCOMPARE(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY(form.isVisible());
    QVERIFY(!form.stopRequested());
    QVERIFY(!form.terminationRequested());

    // The exit button asks the same question.
    messages.answer(QMessageBox::Cancel);
    QTest::mouseClick(ui::endebtn(form), Qt::LeftButton);
    QCOMPARE(messages.requests.size(), 2);
    QCOMPARE(messages.requests.last().text, QStringLiteral("Hiermit beenden Sie das Programm!"));
    QVERIFY(form.isVisible());
    QVERIFY(!form.stopRequested());
}

void MainWindowTest::closeDuringReadLoopStopsItAndEndsTheProgram()
{
    MessageRecorder messages;
    auto* form = new TMainForm(rilvane::test::soundLibrary());
    QVERIFY2(!form->terminationRequested(), "the sound set-up failed: no usable test sound device");
    QPointer<TMainForm> guard(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));

    messages.answer(QMessageBox::Cancel);
    messages.answer(QMessageBox::Ok);
    bool runningAfterCancel = false;
    bool aliveAfterLoop = false;
    bool hiddenAfterLoop = false;
    int loopsAfterCancel = 0;

    // A read loop as the playback session runs it: inside the click handler,
    // letting the window's events through once per block.
    QObject::connect(ui::PlayBtn(*form), &QAbstractButton::clicked, form, [&] {
        rilvane::ReadingState& reading = form->reading();
        reading.stopRequest = false;
        QTimer::singleShot(0, form, [form] { form->close(); });
        while (!reading.stopRequest) {
            QCoreApplication::processEvents();
            if (messages.requests.size() == 1 && loopsAfterCancel++ == 0) {
                runningAfterCancel = form->isVisible() && !form->stopRequested();
                QTimer::singleShot(0, form, [form] { form->close(); });
            }
        }
        aliveAfterLoop = !guard.isNull();
        hiddenAfterLoop = !form->isVisible();
    });

    QTimer::singleShot(0, ui::PlayBtn(*form), &QAbstractButton::click);
    const int result = QApplication::exec();

    QCOMPARE(result, 0);
    QCOMPARE(messages.requests.size(), 2);
    QVERIFY(runningAfterCancel);
    QVERIFY(aliveAfterLoop);
    QVERIFY(hiddenAfterLoop);
    QVERIFY(!guard.isNull());
    QVERIFY(form->stopRequested());
    QVERIFY(form->terminationRequested());
    delete form;
}

void MainWindowTest::webButtonOpensTheSite()
{
    rilvane::test::FakeUrlOpener opener;
    QVERIFY(opener.isValid());
    TMainForm form(rilvane::test::soundLibrary());
    QCOMPARE(ui::wwwBtn(form)->text(), QStringLiteral("www.tormend.de"));
    QCOMPARE(ui::wwwBtn(form)->toolTip(), QStringLiteral("Auf zur Tormend Homepage..."));
    QCOMPARE(ui::wwwBtn(form)->iconSize(), QSize(24, 25));
    QVERIFY(ui::wwwBtn(form)->autoRaise());

    ui::wwwBtn(form)->click();
    QTRY_COMPARE_WITH_TIMEOUT(opener.openedAddresses(), QStringList{QStringLiteral("http://www.tormend.de/")}, 30000);
}

void MainWindowTest::saveDialogIsSetUpForWavFiles()
{
    TMainForm form(rilvane::test::soundLibrary());
    QFileDialog& dialog = *ui::SaveDialog1(form);
    QCOMPARE(dialog.defaultSuffix(), QStringLiteral("wav"));
    QCOMPARE(dialog.nameFilters(), QStringList{QStringLiteral("WAV-Dateien (*.wav)")});
    QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(dialog.isSizeGripEnabled());

    form.saveDialogOverride = [] { return QStringLiteral("/tmp/track.wav"); };
    QCOMPARE(form.executeSaveDialog(), QStringLiteral("/tmp/track.wav"));
    form.saveDialogOverride = [] { return QString(); };  // cancelled
    QVERIFY(form.executeSaveDialog().isEmpty());
}

void MainWindowTest::waveformViewIsWhiteAfterRepaint()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    rilvane::PaintBox& view = *ui::PaintBox1(form);
    QVERIFY(view.width() > 10 && view.height() > 10);

    QImage image = view.grab().toImage();
    const QPoint middle(view.width() / 2, view.height() / 2);
    QVERIFY(rilvane::test::hasColour(image, middle.x(), middle.y(), Qt::white));
    QVERIFY(rilvane::test::hasColour(image, 0, 0, Qt::white));

    // Drawn on outside a repaint: it stays until the view repaints.
    QVERIFY(view.paintOver([&](QPainter& canvas) {
        canvas.setPen(Qt::black);
        canvas.drawLine(0, middle.y(), view.width() - 1, middle.y());
    }));
    image = view.grab().toImage();
    QVERIFY(rilvane::test::hasColour(image, middle.x(), middle.y(), Qt::black));

    view.invalidate();
    image = view.grab().toImage();
    QVERIFY(rilvane::test::hasColour(image, middle.x(), middle.y(), Qt::white));
}

void MainWindowTest::logLinesAreAppendedAndNotMirroredByDefault()
{
    QVERIFY(!lcRilvaneLog().isInfoEnabled());
    TMainForm form(rilvane::test::soundLibrary());
    const QStringList before = rilvane::test::logLines(form);
    form.logLine(QStringLiteral("Erste Zeile"));
    form.logLine(std::string("Zweite Zeile mit Umlaut: \xc3\xa4"));
    QStringList expected = before;
    expected << QStringLiteral("Erste Zeile") << QStringLiteral("Zweite Zeile mit Umlaut: ä");
    QCOMPARE(rilvane::test::logLines(form), expected);
}

void MainWindowTest::sessionsSeeTheWindowsState()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    rilvane::FormSessionWindow window(form);

    form.reading().currentSector = 1234;
    QCOMPARE(form.currentSector(), 1234);
    form.reading().stopRequest = true;
    QVERIFY(form.stopRequested());

    ui::StartSec(form)->setEditText(QStringLiteral("777"));
    QCOMPARE(window.positionValue(), 777);
    window.showPosition(20500);
    QCOMPARE(ui::StartSec(form)->editText(), QStringLiteral("20500"));
    QCOMPARE(ui::Label3(form)->text(), QStringLiteral("Track no. 1 Time 00:04:26 s"));

    // A session follows the karaoke box for as long as it runs, and no longer.
    bool karaoke = true;
    {
        const rilvane::KaraokeLink link(*ui::KaraokeCheck(form), [&karaoke](bool on) { karaoke = on; });
        QVERIFY(!karaoke);
        ui::KaraokeCheck(form)->setChecked(true);
        QVERIFY(karaoke);
    }
    ui::KaraokeCheck(form)->setChecked(false);
    QVERIFY(karaoke);
    window.log().logLine("Wiedergabe gestoppt...");
    QCOMPARE(rilvane::test::logLines(form).last(), QStringLiteral("Wiedergabe gestoppt..."));

    // The waveform goes straight onto the view: the left channel at full
    // negative scale lies along the top edge.
    std::vector<uint8_t> staging(117600, 0);
    for (size_t frame = 0; frame < 29400; ++frame)
        staging[frame * 4 + 1] = 0x80;  // left sample -32768
    window.drawWaveform(staging.data());
    const QImage image = ui::PaintBox1(form)->grab().toImage();
    const int middle = ui::PaintBox1(form)->width() / 2;
    QVERIFY(rilvane::test::hasColour(image, middle, 0, Qt::black));
    QVERIFY(rilvane::test::hasColour(image, middle, ui::PaintBox1(form)->height() / 2, Qt::white));
}

int runMainWindowTest(int argc, char** argv)
{
    return rilvane::test::runTest<MainWindowTest>(argc, argv);
}

#include "MainWindowTest.moc"
