// A status bar with fixed-width panels in a row, the last one reaching the
// right edge (up to the size grip). A panel shows its text or, when it is
// owner-drawn, whatever the onDrawPanel handler paints into it.
#pragma once

#include "app/CanvasWidget.h"

#include <QString>

#include <functional>
#include <vector>

class QSizeGrip;

namespace rilvane {

class StatusBar : public CanvasWidget {
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void addPanel(int width, bool ownerDraw, const QString& text = QString());
    int panelCount() const { return static_cast<int>(m_panels.size()); }

    // The inside of panel `index` (within its sunken border), in bar
    // coordinates; this is the rectangle handed to onDrawPanel.
    QRect panelRect(int index) const;

    // Runs for every owner-drawn panel during each repaint of the bar. The
    // painter draws on the whole bar; it is not clipped to the panel.
    std::function<void(StatusBar* bar, int panel, QPainter& painter, const QRect& rect)> onDrawPanel;

protected:
    void paintFull(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Panel {
        int width;
        bool ownerDraw;
        QString text;
    };
    QRect panelOuterRect(int index) const;

    std::vector<Panel> m_panels;
    QSizeGrip* m_grip;
};

}  // namespace rilvane
