#include "app/FormSessionWindow.h"

#include "app/MainUnit.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "app/WaveformPainter.h"
#include "playback/Waveform.h"

#include <QCoreApplication>
#include <QPainter>

namespace rilvane {

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
