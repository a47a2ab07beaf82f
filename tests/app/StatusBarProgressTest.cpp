// The progress bar in the status bar's second panel, driven by WM_USER.

#include "FormControls.h"
#include "MainWindowTest.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/ProgressBar.h"
#include "app/StatusBar.h"
#include "app/WindowMessage.h"

namespace ui = rilvane::test::ui;

using rilvane::kProgressColour;
using rilvane::kWmUser;
using rilvane::test::hasColour;

namespace {

QImage barImage(TMainForm& form)
{
    return ui::StatusBar1(form)->grab().toImage();
}

void setProgress(TMainForm& form, int32_t percent)
{
    rilvane::sendWindowMessage(&form, kWmUser, static_cast<uintptr_t>(static_cast<uint32_t>(percent)), 0);
}

// The navy bar runs from the panel's left edge to exactly `right` (exclusive).
bool barEndsAt(const QImage& image, const rilvane::PanelRect& panel, int right)
{
    const int y = (panel.top + panel.bottom) / 2;
    return hasColour(image, right - 1, y, kProgressColour) && !hasColour(image, right, y, kProgressColour) &&
           hasColour(image, panel.left, panel.top, kProgressColour) &&
           hasColour(image, panel.left, panel.bottom - 1, kProgressColour);
}

bool samePanel(const rilvane::PanelRect& a, const QRect& b)
{
    const rilvane::PanelRect expected = rilvane::panelRectFrom(b);
    return a.left == expected.left && a.top == expected.top && a.right == expected.right &&
           a.bottom == expected.bottom;
}

}  // namespace

class StatusBarProgressTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void raiseBeforeFirstPaintShowsAtNextRepaint();
    void raiseDrawsOverWithoutRepaint();
    void lowerRepaintsTheWholeBar();
    void fullAndBeyondFullAndNegative();
    void postedMessagesCarryASigned32BitParameter();
};

void StatusBarProgressTest::raiseBeforeFirstPaintShowsAtNextRepaint()
{
    TMainForm form(rilvane::test::soundLibrary());
    QCOMPARE(form.progressPercent(), 0);
    setProgress(form, 40);  // not painted yet: nothing to draw on
    QCOMPARE(form.progressPercent(), 40);
    QCOMPARE(form.progressRect().left, 0);
    QCOMPARE(form.progressRect().right, 0);

    form.resize(622, 489);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage image = barImage(form);
    const QRect panel = ui::StatusBar1(form)->panelRect(1);
    QVERIFY(samePanel(form.progressRect(), panel));
    QVERIFY(barEndsAt(image, form.progressRect(), panel.left() + panel.width() * 40 / 100));
    // Panel 0 stays empty.
    QVERIFY(!hasColour(image, 100, panel.center().y(), kProgressColour));
}

void StatusBarProgressTest::raiseDrawsOverWithoutRepaint()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    barImage(form);
    const rilvane::PanelRect panel = form.progressRect();
    const int width = panel.right - panel.left;
    QVERIFY(width > 100);

    setProgress(form, 30);
    const int repaints = ui::StatusBar1(form)->fullPaintCount();
    setProgress(form, 60);
    const QImage image = barImage(form);
    QCOMPARE(ui::StatusBar1(form)->fullPaintCount(), repaints);
    QVERIFY(barEndsAt(image, panel, panel.left + width * 60 / 100));
}

void StatusBarProgressTest::lowerRepaintsTheWholeBar()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    setProgress(form, 60);
    barImage(form);
    const rilvane::PanelRect panel = form.progressRect();
    const int width = panel.right - panel.left;

    const int repaints = ui::StatusBar1(form)->fullPaintCount();
    setProgress(form, 30);
    const QImage image = barImage(form);
    QCOMPARE(ui::StatusBar1(form)->fullPaintCount(), repaints + 1);
    QVERIFY(barEndsAt(image, panel, panel.left + width * 30 / 100));
    QVERIFY(!hasColour(image, panel.left + width * 45 / 100, panel.top + 2, kProgressColour));
}

void StatusBarProgressTest::fullAndBeyondFullAndNegative()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    barImage(form);
    const rilvane::PanelRect panel = form.progressRect();
    const int width = panel.right - panel.left;
    const int y = (panel.top + panel.bottom) / 2;

    setProgress(form, 100);
    QVERIFY(barEndsAt(barImage(form), panel, panel.right));

    // Past the panel's right edge, over its border, still inside the bar.
    setProgress(form, 101);
    QImage image = barImage(form);
    QVERIFY(barEndsAt(image, panel, panel.left + width * 101 / 100));
    QVERIFY(hasColour(image, panel.right, y, kProgressColour));

    // Negative: left of the panel, into the first one; the panel stays empty.
    setProgress(form, -10);
    image = barImage(form);
    const int left = panel.left + width * -10 / 100;
    QVERIFY(hasColour(image, left, y, kProgressColour));
    QVERIFY(hasColour(image, panel.left - 1, y, kProgressColour));
    QVERIFY(!hasColour(image, left - 1, y, kProgressColour));
    QVERIFY(!hasColour(image, panel.left, y, kProgressColour));
    QVERIFY(!hasColour(image, panel.left + 5, y, kProgressColour));

    // Going up from there paints over without clearing: the bar left of the
    // panel stays until the status bar is repainted.
    const int repaints = ui::StatusBar1(form)->fullPaintCount();
    setProgress(form, 0);
    image = barImage(form);
    QCOMPARE(ui::StatusBar1(form)->fullPaintCount(), repaints);
    QVERIFY(hasColour(image, panel.left - 1, y, kProgressColour));
    ui::StatusBar1(form)->invalidate();
    image = barImage(form);
    QVERIFY(!hasColour(image, panel.left - 1, y, kProgressColour));
    QVERIFY(!hasColour(image, panel.left, y, kProgressColour));
}

void StatusBarProgressTest::postedMessagesCarryASigned32BitParameter()
{
    TMainForm form(rilvane::test::soundLibrary());
    rilvane::postWindowMessage(&form, kWmUser, static_cast<uintptr_t>(-7), 0);
    QCOMPARE(form.progressPercent(), 0);  // queued, not yet handled
    QCoreApplication::processEvents();
    QCOMPARE(form.progressPercent(), -7);

    // Only the low 32 bits count, as on the 32-bit system.
    rilvane::postWindowMessage(&form, kWmUser, (uintptr_t{1} << 32) + 55, 0);
    QCoreApplication::processEvents();
    QCOMPARE(form.progressPercent(), 55);

    // Other messages leave the progress alone.
    rilvane::postWindowMessage(&form, kWmUser + 1, 99, 0);
    QCoreApplication::processEvents();
    QCOMPARE(form.progressPercent(), 55);
}

int runStatusBarProgressTest(int argc, char** argv)
{
    return rilvane::test::runTest<StatusBarProgressTest>(argc, argv);
}

#include "StatusBarProgressTest.moc"
