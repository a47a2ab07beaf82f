#include "app/CanvasWidget.h"

#include <QPainter>

namespace rilvane {

CanvasWidget::CanvasWidget(QWidget* parent) : QWidget(parent)
{
    // Every pixel comes from the surface; Qt need not clear behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CanvasWidget::paintOver(const std::function<void(QPainter&)>& draw)
{
    if (!m_valid || m_surface.isNull())
        return false;
    {
        QPainter painter(&m_surface);
        draw(painter);
    }
    update();
    return true;
}

void CanvasWidget::invalidate()
{
    m_valid = false;
    update();
}

void CanvasWidget::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (!m_valid || m_surface.size() != pixels) {
        m_surface = QPixmap(pixels.expandedTo(QSize(1, 1)));
        m_surface.setDevicePixelRatio(ratio);
        QPainter painter(&m_surface);
        paintFull(painter);
        m_valid = true;
        ++m_fullPaints;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_surface);
}

void CanvasWidget::resizeEvent(QResizeEvent* event)
{
    m_valid = false;
    QWidget::resizeEvent(event);
}

void CanvasWidget::showEvent(QShowEvent* event)
{
    m_valid = false;
    QWidget::showEvent(event);
}

}  // namespace rilvane
