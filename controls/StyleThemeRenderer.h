#pragma once

#include "controls/ThemeRenderer.h"

// The theme renderer of this platform: the widget's QStyle draws the push
// button bevel. States keep their usual meaning: 1 normal, 2 hot, 3 pressed,
// 4 disabled, 5 and 6 defaulted; a state without a name (such as 0) is drawn
// like the normal one. Parts other than the push button draw nothing.
class StyleThemeRenderer : public ThemeRenderer {
public:
    void DrawThemeBackground(QPainter& painter, const QWidget& widget, int part, int state,
                             const QRect& rect) override;
};
