// A panel with the classic two-level bevel: an outer and an inner edge, each
// none, raised or lowered, one pixel wide, and an optional own colour. Its
// DockLayout keeps docked children inside the bevels.
#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

namespace rilvane {

class DockLayout;

enum class Bevel { None, Raised, Lowered };

class BevelPanel : public QWidget {
public:
    BevelPanel(QWidget* parent, Bevel inner, Bevel outer, QColor color = QColor());

    DockLayout* dockLayout() const { return m_layout; }
    // Pixels taken by the bevels on each side.
    int bevelWidth() const;
    Bevel innerBevel() const { return m_inner; }
    Bevel outerBevel() const { return m_outer; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Bevel m_inner;
    Bevel m_outer;
    DockLayout* m_layout;
};

// Draws one bevel edge around `rect` (exclusive right and bottom), one pixel
// wide: raised has the light edge top-left and the shadow bottom-right,
// lowered the other way round.
void drawBevelEdge(QPainter& painter, const QRect& rect, Bevel bevel, const QColor& light, const QColor& shadow);

}  // namespace rilvane
