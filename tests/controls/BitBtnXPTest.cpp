#include "controls/BitBtnKinds.h"
#include "controls/ButtonGlyph.h"
#include "controls/ButtonsXP.h"
#include "controls/GlyphCache.h"
#include "controls/GlyphList.h"
#include "controls/StyleThemeRenderer.h"
#include "controls/ThemeBinding.h"

#include "RecordingRenderer.h"
#include "TestImages.h"

#include <QApplication>
#include <QStyle>
#include <QDialog>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QColor upMarker(220, 20, 20);
const QColor disabledMarker(20, 160, 20);

QImage twoImageStrip()
{
    const QColor m[2] = {upMarker, disabledMarker};
    return testimg::strip(2, 16, m);
}

// Makes a dialog that runs exec() the active window; closes it on failure.
bool activate(QDialog& dialog)
{
    dialog.activateWindow();
    if (QTest::qWaitForWindowActive(&dialog))
        return true;
    ADD_FAILURE() << "dialog did not become active";
    dialog.done(-1);
    return false;
}

struct BitBtnFixture : ::testing::Test {
    BitBtnFixture()
    {
        renderer = std::make_shared<RecordingRenderer>();
        ThemeBinding::setRenderer(renderer);
        ThemeBinding::setAppThemed(true);
    }
    ~BitBtnFixture() override
    {
        ThemeBinding::setRenderer(std::make_shared<StyleThemeRenderer>());
        ThemeBinding::setAppThemed(true);
    }

    // The theme state the button paints with right now.
    int paintedState(TBitBtnXP& b)
    {
        renderer->calls.clear();
        b.grab();
        return renderer->lastState();
    }

    std::shared_ptr<RecordingRenderer> renderer;
};

TEST_F(BitBtnFixture, StartsAsACustomButtonWithTheUsualLayout)
{
    TBitBtnXP b;
    EXPECT_EQ(b.Kind(), bkCustom);
    EXPECT_EQ(b.Layout(), blGlyphLeft);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_EQ(b.Margin(), -1);
    EXPECT_EQ(b.Style(), bsAutoDetect);
    EXPECT_EQ(b.NumGlyphs(), 1);
    EXPECT_TRUE(b.Glyph().isNull());
    b.setMargin(-2);
    EXPECT_EQ(b.Margin(), -1);
    b.setMargin(3);
    b.setMargin(-7);
    EXPECT_EQ(b.Margin(), 3);
    b.setNumGlyphs(6);
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.setNumGlyphs(0);
    EXPECT_EQ(b.NumGlyphs(), 4);
}

TEST_F(BitBtnFixture, OkKindWithEmptyCaptionClosesAModalDialogWithOk)
{
    QDialog dialog;
    auto* ok = new TBitBtnXP(&dialog);
    ASSERT_TRUE(ok->text().isEmpty());
    ok->setKind(bkOK);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->Default());
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(ok->Cancel());
    EXPECT_EQ(ok->ModalResult(), 1);
    EXPECT_EQ(ok->Kind(), bkOK);
    EXPECT_EQ(ok->Glyph().size(), QSize(36, 18));
    EXPECT_EQ(ok->NumGlyphs(), 2);

    int clicks = 0;
    QObject::connect(ok, &QAbstractButton::clicked, [&] {
        ++clicks;
        EXPECT_TRUE(dialog.isVisible());  // the dialog closes after the handlers
    });
    QTimer::singleShot(0, ok, [ok] { ok->click(); });
    EXPECT_EQ(dialog.exec(), 1);
    EXPECT_EQ(clicks, 1);
}

TEST_F(BitBtnFixture, EscapeClicksTheCancelButton)
{
    QDialog dialog;
    auto* ok = new TBitBtnXP(&dialog);
    ok->setKind(bkOK);
    auto* cancel = new TBitBtnXP(&dialog);
    cancel->setKind(bkCancel);
    cancel->move(0, 40);
    EXPECT_TRUE(cancel->Cancel());
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    QTimer::singleShot(0, &dialog, [&dialog] {
        if (activate(dialog))
            QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), 2);
}

TEST_F(BitBtnFixture, EnterPressesTheFocusedButtonBeforeTheDefaultOne)
{
    QDialog dialog;
    auto* web = new TBitBtnXP(&dialog);
    web->setText(QStringLiteral("http://www.example.org/"));
    web->resize(160, 25);
    auto* ok = new TBitBtnXP(&dialog);
    ok->setKind(bkOK);
    ok->setGeometry(0, 40, 100, 30);
    int webClicks = 0;
    QObject::connect(web, &QAbstractButton::clicked, [&] { ++webClicks; });

    bool webWasActive = false;
    bool okWasActive = true;
    bool stillOpen = false;
    TBitBtnXPKind kindWhileAway = bkCustom;
    QTimer::singleShot(0, &dialog, [&] {
        if (!activate(dialog))
            return;
        web->setFocus();
        webWasActive = web->isActiveDefault();
        okWasActive = ok->isActiveDefault();
        QTest::keyClick(&dialog, Qt::Key_Return);
        stillOpen = dialog.isVisible();
        kindWhileAway = ok->Kind();
        QTimer::singleShot(0, &dialog, [&] {
            ok->setFocus();
            QTest::keyClick(&dialog, Qt::Key_Return);
        });
    });
    EXPECT_EQ(dialog.exec(), 1);
    EXPECT_TRUE(webWasActive);
    EXPECT_FALSE(okWasActive);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(webClicks, 1);
    // Qt moves its own default flag with the focus; the kind is untouched.
    EXPECT_EQ(kindWhileAway, bkOK);
    EXPECT_EQ(ok->Kind(), bkOK);
}

TEST_F(BitBtnFixture, KindReadsCustomOnceItsSettingsChange)
{
    TBitBtnXP b;
    b.setKind(bkOK);
    b.setModalResult(5);
    EXPECT_EQ(b.Kind(), bkCustom);
    b.setModalResult(1);
    EXPECT_EQ(b.Kind(), bkCustom);  // for good, until a kind is set again
    b.setKind(bkOK);
    EXPECT_EQ(b.Kind(), bkOK);
    EXPECT_EQ(b.ModalResult(), 1);

    b.setDefault(false);
    EXPECT_EQ(b.Kind(), bkCustom);
    b.setKind(bkNo);
    EXPECT_EQ(b.Kind(), bkNo);
    b.setCancel(false);
    EXPECT_EQ(b.Kind(), bkCustom);
    b.setKind(bkRetry);
    b.setGlyph(twoImageStrip());
    EXPECT_EQ(b.Kind(), bkCustom);
    // Changing the caption alone keeps the kind.
    b.setKind(bkAbort);
    b.setText(QStringLiteral("Abbrechen"));
    EXPECT_EQ(b.Kind(), bkAbort);
    // Setting bkCustom keeps what the kind brought.
    b.setKind(bkCustom);
    EXPECT_EQ(b.ModalResult(), 3);
}

TEST_F(BitBtnFixture, EveryKindReadsBackAndBringsItsGlyph)
{
    TBitBtnXP b;
    for (int k = bkOK; k <= bkAll; ++k) {
        const auto kind = static_cast<TBitBtnXPKind>(k);
        b.setKind(kind);
        EXPECT_EQ(b.Kind(), kind) << k;
        EXPECT_EQ(b.text(), QString::fromLatin1(bitBtnKindInfo(kind).caption)) << k;
        EXPECT_EQ(b.NumGlyphs(), 2) << k;
        EXPECT_FALSE(b.Glyph().isNull()) << k;
    }
}

TEST_F(BitBtnFixture, GlyphShapeSetsTheNumberOfImages)
{
    TBitBtnXP b;
    b.setGlyph(testimg::solid({32, 16}, Qt::red));
    EXPECT_EQ(b.NumGlyphs(), 2);
    b.setGlyph(testimg::solid({48, 16}, Qt::red));
    EXPECT_EQ(b.NumGlyphs(), 3);
    b.setGlyph(testimg::solid({80, 16}, Qt::red));
    EXPECT_EQ(b.NumGlyphs(), 1);
    EXPECT_EQ(b.buttonGlyph().imageSize(), QSize(80, 16));
    b.setGlyph(testimg::solid({30, 16}, Qt::red));
    EXPECT_EQ(b.NumGlyphs(), 1);
    b.setNumGlyphs(2);
    b.setGlyph(testimg::solid({30, 16}, Qt::red));
    EXPECT_EQ(b.NumGlyphs(), 2);
}

TEST_F(BitBtnFixture, ButtonsWithSameSizedGlyphsShareOneImageList)
{
    ASSERT_EQ(TGlyphList::liveCount(), 0);
    auto a = std::make_unique<TBitBtnXP>();
    auto b = std::make_unique<TBitBtnXP>();
    a->setGlyph(twoImageStrip());
    b->setGlyph(twoImageStrip());
    a->resize(80, 25);
    b->resize(80, 25);
    a->grab();
    b->setEnabled(false);
    b->grab();
    ASSERT_NE(a->buttonGlyph().glyphList(), nullptr);
    EXPECT_EQ(a->buttonGlyph().glyphList(), b->buttonGlyph().glyphList());
    EXPECT_EQ(TGlyphList::liveCount(), 1);
    EXPECT_EQ(a->buttonGlyph().glyphList()->Count(), 2);
    a.reset();
    EXPECT_EQ(TGlyphList::liveCount(), 1);
    b.reset();
    EXPECT_EQ(TGlyphList::liveCount(), 0);
    EXPECT_EQ(TGlyphCache::instance(), nullptr);
}

TEST_F(BitBtnFixture, ThemedStatesFollowPressFocusDefaultAndEnabled)
{
    QWidget window;
    window.resize(300, 100);
    auto* b = new TBitBtnXP(&window);
    b->setText(QStringLiteral("Play"));
    b->setGeometry(8, 8, 73, 25);
    auto* other = new TBitBtnXP(&window);
    other->setText(QStringLiteral("Stop"));
    other->setGeometry(88, 8, 65, 25);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.setFocus();  // no button has the focus

    ASSERT_TRUE(b->usesThemes());
    EXPECT_EQ(paintedState(*b), 0);
    EXPECT_EQ(renderer->calls.back().part, 1);
    EXPECT_EQ(renderer->calls.back().rect, b->rect());

    b->setDefault(true);
    EXPECT_EQ(paintedState(*b), 1);
    other->setFocus();
    ASSERT_TRUE(other->hasFocus());
    EXPECT_FALSE(b->isActiveDefault());
    EXPECT_EQ(paintedState(*b), 0);
    EXPECT_EQ(paintedState(*other), 1);

    b->setDefault(false);
    b->setFocus();
    ASSERT_TRUE(b->hasFocus());
    EXPECT_EQ(paintedState(*b), 1);

    b->setDown(true);
    EXPECT_EQ(paintedState(*b), 3);
    b->setDown(false);

    b->setEnabled(false);
    EXPECT_EQ(paintedState(*b), 4);
}

TEST_F(BitBtnFixture, WithoutRendererOrThemesTheClassicFaceIsDrawn)
{
    ThemeBinding::setRenderer(nullptr);
    EXPECT_FALSE(ThemeBinding::themesActive());
    TBitBtnXP unbound;
    EXPECT_FALSE(unbound.usesThemes());

    ThemeBinding::setRenderer(renderer);
    TBitBtnXP b;
    ASSERT_TRUE(b.usesThemes());
    ThemeBinding::setAppThemed(false);
    EXPECT_FALSE(b.usesThemes());
    b.resize(60, 25);
    EXPECT_EQ(paintedState(b), -1);
    // A button made while themes were off stays classic.
    TBitBtnXP classic;
    ThemeBinding::setAppThemed(true);
    EXPECT_FALSE(classic.usesThemes());
}

TEST_F(BitBtnFixture, ClassicDefaultButtonGetsTheExtraFrameOnlyWithoutThemes)
{
    ThemeBinding::setAppThemed(false);
    TBitBtnXP plain;
    TBitBtnXP def;
    for (TBitBtnXP* b : {&plain, &def})
        b->resize(75, 25);
    def.setDefault(true);
    QPalette pal = plain.palette();
    pal.setCurrentColorGroup(QPalette::Active);
    const QRgb frame = pal.color(QPalette::Shadow).rgb();
    const QRgb light = pal.color(QPalette::Light).rgb();

    const QImage p = plain.grab().toImage();
    const QImage d = def.grab().toImage();
    EXPECT_EQ(p.pixel(0, 0), light);
    EXPECT_EQ(d.pixel(0, 0), frame);
    EXPECT_EQ(d.pixel(74, 24), frame);
    EXPECT_EQ(d.pixel(37, 0), frame);
    EXPECT_EQ(d.pixel(1, 1), light);   // the classic frame sits inside it

    ThemeBinding::setAppThemed(true);
    TBitBtnXP themedDefault;
    themedDefault.resize(75, 25);
    themedDefault.setDefault(true);
    const QImage t = themedDefault.grab().toImage();
    EXPECT_EQ(t.pixel(0, 0), RecordingRenderer::colourFor(1).rgb());
    EXPECT_EQ(renderer->calls.back().rect, themedDefault.rect());
}

// Presses the button with the mouse in an active window and returns where the
// up image's marker is drawn before and during the press.
std::pair<QPoint, QPoint> markerBeforeAndWhilePressed(TBitBtnXP& b, QWidget& window)
{
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        return {};
    const QPoint before = testimg::find(b.grab().toImage(), upMarker.rgb());
    QTest::mousePress(&b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(b.isDown());
    EXPECT_TRUE(b.hasFocus());
    const QPoint during = testimg::find(b.grab().toImage(), upMarker.rgb());
    QTest::mouseRelease(&b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    return {before, during};
}

TEST_F(BitBtnFixture, PressingMovesTheUpImageByOnePixel)
{
    for (bool themed : {true, false}) {
        ThemeBinding::setAppThemed(themed);
        QWidget window;
        window.resize(200, 60);
        auto* b = new TBitBtnXP(&window);
        b->setGlyph(twoImageStrip());
        b->setText(QStringLiteral("Go"));
        b->setGeometry(10, 10, 81, 25);
        b->setFocus();
        const auto [before, during] = markerBeforeAndWhilePressed(*b, window);
        ASSERT_NE(before, QPoint(-1, -1)) << themed;
        EXPECT_EQ(during, before + QPoint(1, 1)) << themed;
        // The disabled image never shows while enabled.
        EXPECT_EQ(testimg::find(b->grab().toImage(), disabledMarker.rgb()), QPoint(-1, -1));
    }
}

TEST_F(BitBtnFixture, DisabledSingleImageButtonIsEmbossedAndEngraved)
{
    ThemeBinding::setAppThemed(false);
    TBitBtnXP b;
    QImage glyph(16, 16, QImage::Format_ARGB32);
    glyph.fill(testimg::olive);
    for (int i = 3; i < 13; ++i)
        glyph.setPixel(i, 8, 0xFF000000u);
    b.setGlyph(glyph);
    b.setText(QStringLiteral("Speichern"));
    b.resize(120, 30);
    b.setEnabled(false);
    QPalette pal = b.palette();
    pal.setCurrentColorGroup(QPalette::Active);
    const QRgb shadow = pal.color(QPalette::Dark).rgb();
    const QRgb highlight = pal.color(QPalette::Light).rgb();

    const QImage img = b.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage inside = img.copy(b.rect().adjusted(3, 3, -3, -3));
    QPoint line(-1, -1);
    for (int y = 0; y < inside.height() && line.x() < 0; ++y)
        for (int x = 0; x + 10 <= inside.width() && line.x() < 0; ++x) {
            bool run = true;
            for (int i = 0; i < 10; ++i)
                run = run && inside.pixel(x + i, y) == shadow;
            if (run)
                line = {x, y};
        }
    ASSERT_NE(line, QPoint(-1, -1));
    // The glyph's line in shadow, lit one pixel below and right.
    EXPECT_EQ(inside.pixel(line + QPoint(1, 1)), highlight);
    // The caption is engraved: shadow and highlight, nothing in text colour.
    EXPECT_GT(testimg::count(inside, shadow), 10);
    const QRgb text = pal.color(QPalette::ButtonText).rgb();
    EXPECT_EQ(testimg::count(inside, text), 0);
}

TEST_F(BitBtnFixture, DoubleClickGivesTwoClicks)
{
    TBitBtnXP b;
    b.resize(75, 25);
    int clicks = 0;
    QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicks; });
    auto send = [&b](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&b, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(clicks, 2);
}

TEST_F(BitBtnFixture, CloseKindClosesItsWindow)
{
    QWidget window;
    auto* close = new TBitBtnXP(&window);
    close->setKind(bkClose);
    EXPECT_EQ(close->text(), QStringLiteral("&Close"));
    window.show();
    ASSERT_TRUE(window.isVisible());
    close->click();
    EXPECT_FALSE(window.isVisible());

    // Without a window of its own around it, nothing happens.
    TBitBtnXP alone;
    alone.setKind(bkClose);
    alone.click();
}

} // namespace

namespace {

TEST(ThemeBinding, ThemesFollowTheApplicationStyle)
{
    ThemeBinding::setRenderer(std::make_shared<StyleThemeRenderer>());
    const QString before = QApplication::style()->name();
    QApplication::setStyle(QStringLiteral("fusion"));
    EXPECT_TRUE(ThemeBinding::themesActive());
    TBitBtnXP themed;
    EXPECT_TRUE(themed.usesThemes());

    QApplication::setStyle(QStringLiteral("windows"));
    EXPECT_FALSE(ThemeBinding::themesActive());
    EXPECT_FALSE(themed.usesThemes());
    TBitBtnXP classic;
    QApplication::setStyle(before);
    EXPECT_FALSE(classic.usesThemes());  // its handle was never opened
    EXPECT_TRUE(themed.usesThemes());
}

} // namespace
