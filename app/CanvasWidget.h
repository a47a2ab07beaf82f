// A widget with a drawing surface that code may paint on at any time, not
// only while the widget repaints itself.
//
// A repaint (the widget shown, resized, or invalidate() called) clears the
// surface and runs paintFull(). Between repaints, paintOver() draws on top of
// what the surface already shows, without clearing it, and the result reaches
// the screen with the next update; what was drawn stays until the next full
// repaint.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

namespace rilvane {

class CanvasWidget : public QWidget {
public:
    explicit CanvasWidget(QWidget* parent = nullptr);

    // Draws on the current surface, over its content. Returns false, drawing
    // nothing, while the widget has never been painted (there is no surface).
    bool paintOver(const std::function<void(QPainter&)>& draw);

    // The next paint clears the surface and redraws it with paintFull().
    void invalidate();

    // How many full repaints have run so far.
    int fullPaintCount() const { return m_fullPaints; }

protected:
    virtual void paintFull(QPainter& painter) = 0;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPixmap m_surface;
    bool m_valid = false;
    int m_fullPaints = 0;
};

}  // namespace rilvane
