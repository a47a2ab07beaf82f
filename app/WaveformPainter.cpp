#include "app/WaveformPainter.h"

#include <QPainter>

namespace rilvane {

void drawWaveform(QPainter& painter, const std::vector<QPoint>& points, int32_t width, int32_t height)
{
    painter.setBrush(Qt::white);
    painter.setPen(Qt::black);
    painter.fillRect(0, 0, width, height, Qt::white);
    if (points.size() >= 2)
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    else if (points.size() == 1)
        painter.drawPoint(points.front());
}

}  // namespace rilvane
