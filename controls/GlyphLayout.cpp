#include "controls/GlyphLayout.h"

GlyphLayout calcButtonLayout(QSize box, QSize glyphSize, QSize textSize, TButtonLayout layout,
                             int margin, int spacing, bool rightToLeft)
{
    if (rightToLeft) {
        if (layout == blGlyphLeft)
            layout = blGlyphRight;
        else if (layout == blGlyphRight)
            layout = blGlyphLeft;
    }

    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    GlyphLayout out;

    // Centre across the layout direction.
    if (horizontal) {
        out.glyphPos.setY((box.height() - glyphSize.height() + 1) / 2);
        out.textPos.setY((box.height() - textSize.height() + 1) / 2);
    } else {
        out.glyphPos.setX((box.width() - glyphSize.width() + 1) / 2);
        out.textPos.setX((box.width() - textSize.width() + 1) / 2);
    }

    // Without a glyph or without a caption there is nothing to space apart.
    if (textSize.width() == 0 || glyphSize.width() == 0)
        spacing = 0;

    const int boxLen = horizontal ? box.width() : box.height();
    const int glyphLen = horizontal ? glyphSize.width() : glyphSize.height();
    const int textLen = horizontal ? textSize.width() : textSize.height();

    if (margin == -1) {
        if (spacing == -1) {
            margin = (boxLen - (glyphLen + textLen)) / 3;
            spacing = margin;
        } else {
            margin = (boxLen - (glyphLen + spacing + textLen) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = ((boxLen - (margin + glyphLen)) - textLen) / 2;
    }

    switch (layout) {
    case blGlyphLeft:
        out.glyphPos.setX(margin);
        out.textPos.setX(out.glyphPos.x() + glyphSize.width() + spacing);
        break;
    case blGlyphRight:
        out.glyphPos.setX(box.width() - margin - glyphSize.width());
        out.textPos.setX(out.glyphPos.x() - spacing - textSize.width());
        break;
    case blGlyphTop:
        out.glyphPos.setY(margin);
        out.textPos.setY(out.glyphPos.y() + glyphSize.height() + spacing);
        break;
    case blGlyphBottom:
        out.glyphPos.setY(box.height() - margin - glyphSize.height());
        out.textPos.setY(out.glyphPos.y() - spacing - textSize.height());
        break;
    }
    out.margin = margin;
    out.spacing = spacing;
    return out;
}
