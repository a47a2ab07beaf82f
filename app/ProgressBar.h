// The progress bar of the status bar's second panel: a solid navy block from
// the panel's left edge, as wide as the stored percentage of the panel.
#pragma once

#include <QColor>

#include <cstdint>

class QPainter;
class QRect;

namespace rilvane {

// A rectangle as the window system hands it to an owner-draw handler:
// right and bottom are exclusive.
struct PanelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

PanelRect panelRectFrom(const QRect& rect);

inline const QColor kProgressColour{0, 0, 128};  // navy

// left + (right - left) * percent / 100, in 32-bit signed arithmetic: the
// product first (wrapping round as 32-bit arithmetic does), then the division
// truncating toward zero. The percentage is not clamped, so values above 100
// reach past the right edge and negative ones lie left of the panel.
int32_t progressBarRight(const PanelRect& rect, int32_t percent);

// Fills the bar from rect.left to progressBarRight() over the rectangle's full
// height; a bar of no width draws nothing.
void drawProgressBar(QPainter& painter, const PanelRect& rect, int32_t percent);

}  // namespace rilvane
