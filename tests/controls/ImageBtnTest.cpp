#include "controls/ImageBtnUnit.h"

#include "TestImages.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QColor normalColour(200, 30, 30);
const QColor pressedColour(30, 30, 200);

QRgb shown(const TImageBtn& b)
{
    return b.Picture().isNull() ? 0 : b.Picture().toImage().pixel(0, 0);
}

void mouse(TImageBtn& w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint pos)
{
    QMouseEvent e(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

struct ImageBtnFixture : ::testing::Test {
    ImageBtnFixture()
    {
        btn.setPicture(testimg::solid({101, 30}, normalColour));
        btn.setPicture2(testimg::solid({101, 30}, pressedColour));
        QObject::connect(&btn, &TImageBtn::clicked, [this] {
            ++clicks;
            pictureAtClick = shown(btn);
            pressedAtClick = btn.isPressedShown();
            trackingAtClick = btn.isTracking();
        });
    }

    void press(Qt::MouseButton b, QPoint p = {10, 10}) { mouse(btn, QEvent::MouseButtonPress, b, b, p); }
    void move(Qt::MouseButton held, QPoint p) { mouse(btn, QEvent::MouseMove, Qt::NoButton, held, p); }
    void release(Qt::MouseButton b, QPoint p = {10, 10}) { mouse(btn, QEvent::MouseButtonRelease, b, Qt::NoButton, p); }

    TImageBtn btn;
    int clicks = 0;
    QRgb pictureAtClick = 0;
    bool pressedAtClick = true;
    bool trackingAtClick = false;
};

TEST_F(ImageBtnFixture, StartsNormalAndTakesThePictureSize)
{
    EXPECT_EQ(btn.size(), QSize(101, 30));
    EXPECT_EQ(shown(btn), normalColour.rgb());
    EXPECT_FALSE(btn.isPressedShown());
    EXPECT_FALSE(btn.isTracking());
    EXPECT_EQ(btn.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(btn.grab().toImage().pixel(50, 15), normalColour.rgb());
}

TEST_F(ImageBtnFixture, RightAndMiddleButtonsShowPressedButNeverClick)
{
    for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
        press(b);
        EXPECT_EQ(shown(btn), pressedColour.rgb());
        EXPECT_EQ(btn.grab().toImage().pixel(50, 15), pressedColour.rgb());
        EXPECT_TRUE(btn.isTracking());
        release(b);
        EXPECT_EQ(shown(btn), normalColour.rgb());
        EXPECT_FALSE(btn.isTracking());
    }
    EXPECT_EQ(clicks, 0);
}

TEST_F(ImageBtnFixture, ReleaseOutsideAfterDraggingOutDoesNotClick)
{
    press(Qt::LeftButton);
    move(Qt::LeftButton, {-3, 10});
    EXPECT_EQ(shown(btn), normalColour.rgb());
    EXPECT_TRUE(btn.isTracking());
    move(Qt::LeftButton, {101, 10});  // the right edge is outside too
    EXPECT_EQ(shown(btn), normalColour.rgb());
    release(Qt::LeftButton, {150, 40});
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(shown(btn), normalColour.rgb());
    EXPECT_FALSE(btn.isTracking());
}

TEST_F(ImageBtnFixture, DragOutAndBackInClicksOnceWithTheNormalPictureShown)
{
    press(Qt::LeftButton);
    move(Qt::LeftButton, {10, 30});
    EXPECT_EQ(shown(btn), normalColour.rgb());
    move(Qt::LeftButton, {100, 29});
    EXPECT_EQ(shown(btn), pressedColour.rgb());
    release(Qt::LeftButton, {100, 29});

    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(pictureAtClick, normalColour.rgb());
    EXPECT_FALSE(pressedAtClick);
    EXPECT_TRUE(trackingAtClick);  // the mouse-up step runs after the handler
    EXPECT_FALSE(btn.isTracking());
    EXPECT_EQ(shown(btn), normalColour.rgb());
}

TEST_F(ImageBtnFixture, RepeatedMovesInsideKeepTheTrueNormalPicture)
{
    press(Qt::LeftButton);
    for (int x = 0; x < 5; ++x)
        move(Qt::LeftButton, {20 + x, 12});
    EXPECT_EQ(shown(btn), pressedColour.rgb());
    release(Qt::LeftButton, {300, 12});
    EXPECT_EQ(shown(btn), normalColour.rgb());

    press(Qt::LeftButton);
    move(Qt::LeftButton, {30, 12});
    release(Qt::LeftButton, {30, 12});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(pictureAtClick, normalColour.rgb());
}

TEST_F(ImageBtnFixture, EmptyPressedPictureShowsNothingAndKeepsTheSize)
{
    btn.setPicture2(QPixmap());
    press(Qt::LeftButton);
    EXPECT_TRUE(btn.Picture().isNull());
    EXPECT_EQ(btn.size(), QSize(101, 30));
    move(Qt::LeftButton, {50, 15});  // still inside: no flicker back to normal
    EXPECT_TRUE(btn.Picture().isNull());
    release(Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(shown(btn), normalColour.rgb());
}

TEST_F(ImageBtnFixture, SettingPicture2KeepsACopy)
{
    QPixmap mine = testimg::solid({101, 30}, Qt::green);
    btn.setPicture2(mine);
    mine.fill(Qt::yellow);
    press(Qt::LeftButton);
    EXPECT_EQ(shown(btn), QColor(Qt::green).rgb());
    release(Qt::LeftButton);
}

TEST_F(ImageBtnFixture, PressedPictureOfAnotherSizeResizesWhileShown)
{
    btn.setPicture2(testimg::solid({50, 20}, pressedColour));
    press(Qt::LeftButton);
    EXPECT_EQ(btn.size(), QSize(50, 20));
    release(Qt::LeftButton);
    EXPECT_EQ(btn.size(), QSize(101, 30));
}

TEST_F(ImageBtnFixture, DoubleClickCountsAsASecondPress)
{
    press(Qt::LeftButton);
    release(Qt::LeftButton);
    mouse(btn, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, {10, 10});
    EXPECT_EQ(shown(btn), pressedColour.rgb());
    release(Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
}

TEST(ImageBtn, ClickThroughTheWindowSystem)
{
    QWidget window;
    window.resize(200, 60);
    auto* btn = new TImageBtn(&window);
    btn->setPicture(testimg::solid({101, 30}, normalColour));
    btn->setPicture2(testimg::solid({101, 30}, pressedColour));
    btn->move(10, 10);
    int clicks = 0;
    QRgb atClick = 0;
    QObject::connect(btn, &TImageBtn::clicked, [&] {
        ++clicks;
        atClick = shown(*btn);
    });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(btn, Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(atClick, normalColour.rgb());
    QTest::mouseClick(btn, Qt::RightButton, Qt::NoModifier, QPoint(40, 15));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(shown(*btn), normalColour.rgb());
}

} // namespace
