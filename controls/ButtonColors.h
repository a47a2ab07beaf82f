#pragma once

#include <QColor>

class QPalette;

// The system colours a classic button is drawn with, taken from a palette's
// active group (the disabled look is drawn from these, not from the palette's
// disabled group).
struct ButtonColors {
    QColor face;        // button face
    QColor highlight;   // lit edge, engraved text highlight
    QColor shadow;      // shaded edge, engraved text
    QColor frame;       // window frame: the default button's outer line
    QColor text;        // caption

    static ButtonColors fromPalette(const QPalette& palette);
};
