#include "app/FormSessionWindow.h"

#include "app/MainUnit.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "app/WaveformPainter.h"
#include "playback/Waveform.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTimer>

namespace rilvane {

namespace {

class QtTimer final : public SessionWindow::Timer {
public:
    QtTimer(int intervalMs, std::function<void()> tick)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [tick = std::move(tick)] {
            // Nothing may escape into the window's event handling.
            try {
                tick();
            } catch (...) {
            }
        });
        m_timer.start(intervalMs);
    }

private:
    QTimer m_timer;
};

}  // namespace

std::unique_ptr<SessionWindow::Timer> FormSessionWindow::startTimer(int intervalMs, std::function<void()> tick)
{
    return std::make_unique<QtTimer>(intervalMs, std::move(tick));
}

void FormSessionWindow::processEvents()
{
    QCoreApplication::processEvents();
}

int32_t FormSessionWindow::positionValue() const
{
    return m_form.StartSec->value();
}

void FormSessionWindow::showPosition(int32_t sector)
{
    m_form.StartSec->setValue(sector);
}

LogSink& FormSessionWindow::log()
{
    return m_form;
}

void FormSessionWindow::drawWaveform(const uint8_t* staging)
{
    PaintBox& view = *m_form.PaintBox1;
    const int32_t width = view.width();
    const int32_t height = view.height();
    const std::vector<QPoint> points = waveformPoints(staging, width, height);
    view.paintOver([&](QPainter& canvas) { rilvane::drawWaveform(canvas, points, width, height); });
}

}  // namespace rilvane
