#pragma once

#include "controls/ButtonTypes.h"

#include <QPoint>
#include <QSize>

// Placement of a glyph and a caption block inside a button's box.
//
// All positions are relative to the top-left corner of the box. Margin is
// the distance from the box edge to the glyph (-1 centres the pair), spacing
// the gap between glyph and caption (-1 computes it). Divisions truncate
// toward zero, so boxes that are too small give negative positions.
struct GlyphLayout {
    QPoint glyphPos;
    QPoint textPos;
    int margin = 0;   // the margin actually used
    int spacing = 0;  // the spacing actually used
};

GlyphLayout calcButtonLayout(QSize box, QSize glyphSize, QSize textSize, TButtonLayout layout,
                             int margin, int spacing, bool rightToLeft);
