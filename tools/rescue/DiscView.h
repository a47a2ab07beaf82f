// The disc picture as a widget: the cached picture, the track boundaries as
// thin circles, the read position, and what lies under the pointer.
//
// New states are taken at once but drawn at most ten times a second, so a
// fast read is never slowed by drawing; only the rings whose sectors
// changed are redrawn.
#pragma once

#include <QTimer>
#include <QWidget>

#include <optional>

#include "DiscPicture.h"
#include "DiscState.h"

namespace rilvane::rescuewin {

class DiscView : public QWidget {
    Q_OBJECT
public:
    explicit DiscView(QWidget* parent = nullptr);

    // The disc's states; drawn within the next 100 ms.
    void setDisc(const DiscState& disc);
    void clear();
    // The sector being read, or none.
    void setPosition(std::optional<int32_t> sector);

    const DiscPicture& picture() const { return picture_; }
    // Draws what is pending now (for tests and screenshots).
    void flush();
    // The text naming what lies at a point of the widget; empty outside the sectors.
    QString describeAt(QPoint point) const;
    // Where a sector is drawn, in widget coordinates.
    QPoint widgetPointOf(int32_t sector) const;
    // How many times the picture was redrawn (rings or whole).
    int redraws() const { return redraws_; }

    QSize sizeHint() const override { return {420, 420}; }
    QSize minimumSizeHint() const override { return {200, 200}; }

signals:
    // What lies under the pointer (empty when nothing).
    void hovered(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void redraw();
    QPointF origin() const;
    // Where the read position's mark is drawn; empty without one.
    QRect markerRect() const;

    DiscState disc_;
    DiscPicture picture_;
    bool dirty_ = false;
    bool resized_ = false;
    bool positionMoved_ = false;
    QRect markedAt_;  // the mark as last drawn
    std::optional<int32_t> position_;
    QTimer pace_;
    int redraws_ = 0;
};

}  // namespace rilvane::rescuewin
