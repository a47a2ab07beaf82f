#include "controls/GlyphLayout.h"

#include <gtest/gtest.h>

namespace {

const QSize glyph16(16, 16);
const QSize text40(40, 13);

struct Case {
    TButtonLayout layout;
    int margin;
    int spacing;
    QPoint glyphPos;
    QPoint textPos;
};

TEST(GlyphLayout, SideLayoutsInA100By30Box)
{
    const QSize box(100, 30);
    // Across: glyph (30 - 16 + 1) / 2 = 7, text (30 - 13 + 1) / 2 = 9.
    const Case cases[] = {
        // margin = (100 - 56) / 3 = 14, spacing = margin
        {blGlyphLeft, -1, -1, {14, 7}, {44, 9}},
        {blGlyphRight, -1, -1, {70, 7}, {16, 9}},
        // margin = (100 - 60 + 1) / 2 = 20
        {blGlyphLeft, -1, 4, {20, 7}, {40, 9}},
        {blGlyphRight, -1, 4, {64, 7}, {20, 9}},
        // spacing = (100 - 21 - 40) / 2 = 19
        {blGlyphLeft, 5, -1, {5, 7}, {40, 9}},
        {blGlyphRight, 5, -1, {79, 7}, {20, 9}},
        {blGlyphLeft, 5, 4, {5, 7}, {25, 9}},
        {blGlyphRight, 5, 4, {79, 7}, {35, 9}},
    };
    for (const Case& c : cases) {
        const GlyphLayout l = calcButtonLayout(box, glyph16, text40, c.layout, c.margin, c.spacing, false);
        EXPECT_EQ(l.glyphPos, c.glyphPos) << c.layout << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(l.textPos, c.textPos) << c.layout << " " << c.margin << " " << c.spacing;
    }
}

TEST(GlyphLayout, TopAndBottomLayoutsInA60By60Box)
{
    const QSize box(60, 60);
    // Across: glyph (60 - 16 + 1) / 2 = 22, text (60 - 40 + 1) / 2 = 10.
    const Case cases[] = {
        // margin = (60 - 29) / 3 = 10
        {blGlyphTop, -1, -1, {22, 10}, {10, 36}},
        {blGlyphBottom, -1, -1, {22, 34}, {10, 11}},
        // margin = (60 - 33 + 1) / 2 = 14
        {blGlyphTop, -1, 4, {22, 14}, {10, 34}},
        {blGlyphBottom, -1, 4, {22, 30}, {10, 13}},
        // spacing = (60 - 19 - 13) / 2 = 14
        {blGlyphTop, 3, -1, {22, 3}, {10, 33}},
        {blGlyphBottom, 3, -1, {22, 41}, {10, 14}},
    };
    for (const Case& c : cases) {
        const GlyphLayout l = calcButtonLayout(box, glyph16, text40, c.layout, c.margin, c.spacing, false);
        EXPECT_EQ(l.glyphPos, c.glyphPos) << c.layout << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(l.textPos, c.textPos) << c.layout << " " << c.margin << " " << c.spacing;
    }
}

TEST(GlyphLayout, RightToLeftSwapsOnlyTheSideLayouts)
{
    const QSize box(100, 30);
    const GlyphLayout rtlLeft = calcButtonLayout(box, glyph16, text40, blGlyphLeft, 5, 4, true);
    EXPECT_EQ(rtlLeft.glyphPos, QPoint(79, 7));
    EXPECT_EQ(rtlLeft.textPos, QPoint(35, 9));
    const GlyphLayout rtlRight = calcButtonLayout(box, glyph16, text40, blGlyphRight, 5, 4, true);
    EXPECT_EQ(rtlRight.glyphPos, QPoint(5, 7));
    const GlyphLayout rtlTop = calcButtonLayout({60, 60}, glyph16, text40, blGlyphTop, 3, 4, true);
    EXPECT_EQ(rtlTop.glyphPos, QPoint(22, 3));
}

TEST(GlyphLayout, MissingGlyphOrCaptionMeansNoSpacing)
{
    const QSize box(100, 30);
    // margin = (100 - 16 + 1) / 2 = 42
    const GlyphLayout noText = calcButtonLayout(box, glyph16, {0, 0}, blGlyphLeft, -1, 4, false);
    EXPECT_EQ(noText.glyphPos, QPoint(42, 7));
    EXPECT_EQ(noText.spacing, 0);
    // margin = (100 - 40 + 1) / 2 = 30; the text follows the empty glyph directly
    const GlyphLayout noGlyph = calcButtonLayout(box, {0, 0}, text40, blGlyphLeft, -1, -1, false);
    EXPECT_EQ(noGlyph.spacing, 0);
    EXPECT_EQ(noGlyph.textPos, QPoint(30, 9));
}

TEST(GlyphLayout, TooSmallBoxesTruncateTowardZero)
{
    // (10 - 56) / 3 = -15.33 -> -15; (30 - 16 + 1) / 2 stays 7
    const GlyphLayout l = calcButtonLayout({10, 30}, glyph16, text40, blGlyphLeft, -1, -1, false);
    EXPECT_EQ(l.margin, -15);
    EXPECT_EQ(l.glyphPos, QPoint(-15, 7));
    // Glyph taller than the box: (10 - 16 + 1) / 2 = -2.5 -> -2
    const GlyphLayout tall = calcButtonLayout({100, 10}, glyph16, text40, blGlyphLeft, 2, 2, false);
    EXPECT_EQ(tall.glyphPos.y(), -2);
}

} // namespace
