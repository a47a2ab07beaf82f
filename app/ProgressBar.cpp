#include "app/ProgressBar.h"

#include <QPainter>
#include <QRect>

#include <algorithm>

namespace rilvane {

PanelRect panelRectFrom(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

int32_t progressBarRight(const PanelRect& rect, int32_t percent)
{
    // Unsigned arithmetic gives the 32-bit wrap-round without undefined behaviour.
    const auto width = static_cast<int32_t>(static_cast<uint32_t>(rect.right) - static_cast<uint32_t>(rect.left));
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(percent));
    return static_cast<int32_t>(static_cast<uint32_t>(rect.left) + static_cast<uint32_t>(product / 100));
}

void drawProgressBar(QPainter& painter, const PanelRect& rect, int32_t percent)
{
    const int64_t right = progressBarRight(rect, percent);
    const int64_t x0 = std::min<int64_t>(rect.left, right);
    const int64_t x1 = std::max<int64_t>(rect.left, right);
    const int64_t y0 = std::min<int64_t>(rect.top, rect.bottom);
    const int64_t y1 = std::max<int64_t>(rect.top, rect.bottom);
    if (x1 == x0 || y1 == y0)
        return;
    // Nothing outside the painter's device shows; keep the numbers in range.
    static constexpr int64_t kLimit = 1 << 24;
    const auto clip = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -kLimit, kLimit)); };
    const QRect area(QPoint(clip(x0), clip(y0)), QPoint(clip(x1) - 1, clip(y1) - 1));
    painter.fillRect(area, kProgressColour);
}

}  // namespace rilvane
