#include "app/PaintBox.h"

#include <QPainter>

namespace rilvane {

void PaintBox::paintFull(QPainter& painter)
{
    if (onPaint)
        onPaint(painter);
    else
        painter.fillRect(rect(), palette().color(QPalette::Window));
}

}  // namespace rilvane
