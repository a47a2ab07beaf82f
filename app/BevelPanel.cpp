#include "app/BevelPanel.h"

#include "app/DockLayout.h"

#include <QPainter>
#include <QPalette>

namespace rilvane {

BevelPanel::BevelPanel(QWidget* parent, Bevel inner, Bevel outer, QColor color)
    : QWidget(parent), m_inner(inner), m_outer(outer), m_layout(new DockLayout(this))
{
    if (color.isValid()) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, color);
        setPalette(pal);
    }
    setAutoFillBackground(true);
    const int width = bevelWidth();
    m_layout->setContentsMargins(width, width, width, width);
}

int BevelPanel::bevelWidth() const
{
    return (m_inner != Bevel::None ? 1 : 0) + (m_outer != Bevel::None ? 1 : 0);
}

void drawBevelEdge(QPainter& painter, const QRect& rect, Bevel bevel, const QColor& light, const QColor& shadow)
{
    if (bevel == Bevel::None || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QColor topLeft = bevel == Bevel::Raised ? light : shadow;
    const QColor bottomRight = bevel == Bevel::Raised ? shadow : light;
    const int x0 = rect.left();
    const int y0 = rect.top();
    const int x1 = rect.left() + rect.width() - 1;
    const int y1 = rect.top() + rect.height() - 1;
    painter.fillRect(QRect(x0, y0, rect.width(), 1), topLeft);
    painter.fillRect(QRect(x0, y0, 1, rect.height()), topLeft);
    painter.fillRect(QRect(x0, y1, rect.width(), 1), bottomRight);
    painter.fillRect(QRect(x1, y0, 1, rect.height()), bottomRight);
}

void BevelPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    QRect r = rect();
    if (m_outer != Bevel::None) {
        drawBevelEdge(painter, r, m_outer, light, shadow);
        r.adjust(1, 1, -1, -1);
    }
    drawBevelEdge(painter, r, m_inner, light, shadow);
}

}  // namespace rilvane
