#include "controls/ButtonGlyph.h"
#include "controls/GlyphCache.h"
#include "controls/GlyphList.h"

#include "TestImages.h"

#include <gtest/gtest.h>

namespace {

ButtonColors colours()
{
    ButtonColors c;
    c.face = QColor(212, 208, 200);
    c.highlight = QColor(255, 255, 250);
    c.shadow = QColor(120, 110, 100);
    c.frame = Qt::black;
    c.text = Qt::black;
    return c;
}

QImage blank(int w, int h, QRgb fill)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

TEST(GlyphList, TakesTheLowestFreeSlotAndGrowsByOne)
{
    TGlyphList list(4, 4);
    const QImage img = blank(4, 4, 0xFF112233u);
    EXPECT_EQ(list.Add(img), 0);
    EXPECT_EQ(list.Add(img), 1);
    EXPECT_EQ(list.Add(img), 2);
    list.Delete(1);
    list.Delete(1);  // twice: still one slot freed
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Add(img), 1);
    EXPECT_EQ(list.capacity(), 3);
    EXPECT_EQ(list.Add(img), 3);
    EXPECT_EQ(list.capacity(), 4);
    EXPECT_EQ(list.Count(), 4);
    list.Delete(99);
    EXPECT_EQ(list.Count(), 4);
}

TEST(GlyphList, MaskColourBecomesTransparent)
{
    TGlyphList list(2, 1);
    QImage img(2, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, testimg::olive);
    img.setPixel(1, 0, 0xFFFF0000u);
    const int slot = list.AddMasked(img, testimg::olive);
    const QImage stored = list.image(slot).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(stored.pixel(0, 0)), 0);
    EXPECT_EQ(stored.pixel(1, 0), 0xFFFF0000u);
}

TEST(ButtonGlyph, NumberOfImagesFollowsTheStripShape)
{
    TButtonGlyph g;
    const QColor m[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    g.setGlyph(testimg::strip(2, 16, m));
    EXPECT_EQ(g.NumGlyphs(), 2);
    EXPECT_EQ(g.imageSize(), QSize(16, 16));
    g.setGlyph(testimg::strip(3, 16, m));
    EXPECT_EQ(g.NumGlyphs(), 3);
    g.setGlyph(testimg::strip(4, 16, m));
    EXPECT_EQ(g.NumGlyphs(), 4);
    g.setGlyph(blank(80, 16, testimg::olive));
    EXPECT_EQ(g.NumGlyphs(), 1);
    EXPECT_EQ(g.imageSize(), QSize(80, 16));
    g.setNumGlyphs(3);
    g.setGlyph(blank(30, 16, testimg::olive));
    EXPECT_EQ(g.NumGlyphs(), 3);
    EXPECT_EQ(g.imageSize(), QSize(10, 16));
    g.setGlyph(QImage());
    EXPECT_EQ(g.NumGlyphs(), 3);
    EXPECT_EQ(g.imageSize(), QSize(0, 0));

    g.setNumGlyphs(0);
    EXPECT_EQ(g.NumGlyphs(), 3);
    g.setNumGlyphs(9);
    EXPECT_EQ(g.NumGlyphs(), 4);
    g.setNumGlyphs(-2);
    EXPECT_EQ(g.NumGlyphs(), 1);
}

TEST(ButtonGlyph, TransparentColourIsTheLowerLeftPixel)
{
    TButtonGlyph g;
    EXPECT_EQ(g.TransparentColor(), testimg::olive);
    QImage img = blank(16, 16, 0xFF00FF00u);
    img.setPixel(0, 15, 0xFFFF00FFu);
    g.setGlyph(img);
    EXPECT_EQ(g.TransparentColor(), 0xFFFF00FFu);
}

TEST(ButtonGlyph, StateImagesPickTheirCellAndFallBack)
{
    const QColor m[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    const ButtonColors c = colours();
    TButtonGlyph g;
    g.setGlyph(testimg::strip(4, 16, m));
    auto marker = [&](TButtonState s) {
        const int slot = g.CreateButtonGlyph(s, c);
        return g.glyphList()->image(slot).convertToFormat(QImage::Format_ARGB32).pixel(5, 5);
    };
    EXPECT_EQ(marker(bsUp), QColor(Qt::red).rgba());
    EXPECT_EQ(marker(bsDown), QColor(Qt::blue).rgba());
    EXPECT_EQ(marker(bsExclusive), QColor(Qt::yellow).rgba());
    // Olive around the marker is see-through.
    const int up = g.stateIndex(bsUp);
    EXPECT_EQ(qAlpha(g.glyphList()->image(up).pixel(0, 0)), 0);

    // Two images: down shows the up image, exclusive falls back to image 0.
    g.setGlyph(testimg::strip(2, 16, m));
    EXPECT_EQ(g.stateIndex(bsUp), -1);  // released by the new strip
    EXPECT_EQ(marker(bsDown), QColor(Qt::red).rgba());
    EXPECT_EQ(g.stateIndex(bsDown), -1);
    EXPECT_NE(g.stateIndex(bsUp), -1);
    EXPECT_EQ(marker(bsExclusive), QColor(Qt::red).rgba());
}

TEST(ButtonGlyph, DisabledImageRecoloursTheStripsOwnDisabledCell)
{
    const ButtonColors c = colours();
    QImage img = blank(32, 16, testimg::olive);
    img.setPixel(16 + 2, 2, 0xFFFFFFFFu);   // white
    img.setPixel(16 + 3, 2, 0xFF808080u);   // grey
    img.setPixel(16 + 4, 2, 0xFF0000FFu);   // other colours stay
    TButtonGlyph g;
    g.setGlyph(img);
    const int slot = g.CreateButtonGlyph(bsDisabled, c);
    const QImage out = g.glyphList()->image(slot).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(out.pixel(2, 2), c.highlight.rgba());
    EXPECT_EQ(out.pixel(3, 2), c.shadow.rgba());
    EXPECT_EQ(out.pixel(4, 2), 0xFF0000FFu);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);  // transparent colour: the face shows
}

TEST(ButtonGlyph, DisabledSingleImageIsEmbossed)
{
    const ButtonColors c = colours();
    QImage img = blank(8, 8, testimg::olive);
    img.setPixel(2, 2, 0xFF000000u);
    img.setPixel(3, 2, 0xFF000000u);
    img.setPixel(7, 7, 0xFF000000u);  // its lit copy falls off the image
    img.setPixel(5, 5, 0xFFFF0000u);  // not black: face
    img.setPixel(0, 7, testimg::olive);
    TButtonGlyph g;
    g.setGlyph(img);
    ASSERT_EQ(g.NumGlyphs(), 1);
    const int slot = g.CreateButtonGlyph(bsDisabled, c);
    const QImage out = g.glyphList()->image(slot).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(out.pixel(2, 2), c.shadow.rgba());
    EXPECT_EQ(out.pixel(3, 2), c.shadow.rgba());  // shadow wins over the lit copy of (2, 2)
    EXPECT_EQ(out.pixel(3, 3), c.highlight.rgba());
    EXPECT_EQ(out.pixel(4, 3), c.highlight.rgba());
    EXPECT_EQ(out.pixel(7, 7), c.shadow.rgba());
    EXPECT_EQ(qAlpha(out.pixel(5, 5)), 0);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);
    EXPECT_EQ(testimg::count(out, c.highlight.rgba()), 2);
}

TEST(GlyphCache, SameSizeSharesAListAndTheLastUserFreesIt)
{
    ASSERT_EQ(TGlyphList::liveCount(), 0);
    const QColor m[2] = {Qt::red, Qt::green};
    const ButtonColors c = colours();
    {
        auto a = std::make_unique<TButtonGlyph>();
        auto b = std::make_unique<TButtonGlyph>();
        auto other = std::make_unique<TButtonGlyph>();
        a->setGlyph(testimg::strip(2, 16, m));
        b->setGlyph(testimg::strip(2, 16, m));
        other->setGlyph(testimg::strip(2, 18, m));
        a->CreateButtonGlyph(bsUp, c);
        b->CreateButtonGlyph(bsUp, c);
        b->CreateButtonGlyph(bsDisabled, c);
        other->CreateButtonGlyph(bsUp, c);
        ASSERT_NE(TGlyphCache::instance(), nullptr);
        EXPECT_EQ(a->glyphList(), b->glyphList());
        EXPECT_NE(a->glyphList(), other->glyphList());
        EXPECT_EQ(TGlyphCache::instance()->listCount(), 2);
        EXPECT_EQ(a->glyphList()->Count(), 3);

        // A changed strip releases its images but the list stays for b.
        a->setGlyph(testimg::strip(2, 16, m));
        EXPECT_EQ(b->glyphList()->Count(), 2);
        b.reset();
        EXPECT_EQ(TGlyphCache::instance()->listCount(), 1);
        other.reset();
        EXPECT_EQ(TGlyphList::liveCount(), 0);
        // An empty cache goes with any button glyph; a later state image
        // brings it back.
        EXPECT_EQ(TGlyphCache::instance(), nullptr);
        EXPECT_NE(a->CreateButtonGlyph(bsUp, c), -1);
        ASSERT_NE(TGlyphCache::instance(), nullptr);
        EXPECT_EQ(TGlyphList::liveCount(), 1);
    }
    EXPECT_EQ(TGlyphList::liveCount(), 0);
    EXPECT_EQ(TGlyphCache::instance(), nullptr);
}

} // namespace
