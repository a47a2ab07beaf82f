#pragma once

#include "controls/ThemeRenderer.h"

#include <QColor>
#include <QPainter>
#include <QRect>

#include <vector>

// A theme renderer that remembers what it was asked to draw and fills the
// rectangle with one flat colour per state, so pixels tell the state too.
class RecordingRenderer : public ThemeRenderer {
public:
    struct Call {
        int part;
        int state;
        QRect rect;
    };

    static QColor colourFor(int state) { return QColor(10 + 40 * state, 200, 100); }

    void DrawThemeBackground(QPainter& painter, const QWidget&, int part, int state,
                             const QRect& rect) override
    {
        calls.push_back({part, state, rect});
        painter.fillRect(rect, colourFor(state));
    }

    int lastState() const { return calls.empty() ? -1 : calls.back().state; }

    std::vector<Call> calls;
};
