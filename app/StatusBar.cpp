#include "app/StatusBar.h"

#include "app/BevelPanel.h"

#include <QPainter>
#include <QSizeGrip>

#include <algorithm>

namespace rilvane {

namespace {
constexpr int kPanelGap = 2;   // pixels between two panels
constexpr int kTopMargin = 2;  // pixels above the panels
}  // namespace

StatusBar::StatusBar(QWidget* parent) : CanvasWidget(parent), m_grip(new QSizeGrip(this))
{
    m_grip->resize(m_grip->sizeHint());
}

void StatusBar::addPanel(int width, bool ownerDraw, const QString& text)
{
    m_panels.push_back({width, ownerDraw, text});
    invalidate();
}

QRect StatusBar::panelOuterRect(int index) const
{
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += m_panels[static_cast<size_t>(i)].width + kPanelGap;
    int right = left + m_panels[static_cast<size_t>(index)].width;
    if (index == panelCount() - 1)
        right = width() - (m_grip->isHidden() ? 0 : m_grip->width());  // up to the size grip
    return QRect(left, kTopMargin, std::max(0, right - left), std::max(0, height() - kTopMargin));
}

QRect StatusBar::panelRect(int index) const
{
    if (index < 0 || index >= panelCount())
        return QRect();
    return panelOuterRect(index).adjusted(1, 1, -1, -1);
}

void StatusBar::paintFull(QPainter& painter)
{
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    for (int i = 0; i < panelCount(); ++i) {
        drawBevelEdge(painter, panelOuterRect(i), Bevel::Lowered, light, shadow);
        const Panel& panel = m_panels[static_cast<size_t>(i)];
        const QRect inside = panelRect(i);
        if (panel.ownerDraw) {
            if (onDrawPanel) {
                painter.save();
                onDrawPanel(this, i, painter, inside);
                painter.restore();
            }
        } else if (!panel.text.isEmpty()) {
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(inside.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, panel.text);
        }
    }
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    const QSize grip = m_grip->size();
    m_grip->move(width() - grip.width(), height() - grip.height());
    CanvasWidget::resizeEvent(event);
}

}  // namespace rilvane
