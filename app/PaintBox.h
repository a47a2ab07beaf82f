// A plain drawing area: its repaint handler draws the whole view, and code
// may draw on it at any other time with paintOver().
#pragma once

#include "app/CanvasWidget.h"

#include <functional>

namespace rilvane {

class PaintBox : public CanvasWidget {
public:
    explicit PaintBox(QWidget* parent = nullptr) : CanvasWidget(parent) {}

    // Runs on every repaint, with a painter on the freshly made surface.
    std::function<void(QPainter&)> onPaint;

protected:
    void paintFull(QPainter& painter) override;
};

}  // namespace rilvane
