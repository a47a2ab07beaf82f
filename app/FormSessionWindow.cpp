#include "app/FormSessionWindow.h"

#include "app/MainUnit.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "playback/Waveform.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPainter>

namespace rilvane {

void FormSessionWindow::processEvents()
{
    QCoreApplication::processEvents();
}

int32_t FormSessionWindow::currentSector() const
{
    return m_form.m_currentSector;
}

void FormSessionWindow::setCurrentSector(int32_t sector)
{
    m_form.m_currentSector = sector;
}

bool FormSessionWindow::stopRequested() const
{
    return m_form.m_stopRequest;
}

void FormSessionWindow::setStopRequested(bool stop)
{
    m_form.m_stopRequest = stop;
}

int32_t FormSessionWindow::positionValue() const
{
    return m_form.StartSec->value();
}

void FormSessionWindow::showPosition(int32_t sector)
{
    m_form.StartSec->setValue(sector);
}

bool FormSessionWindow::karaokeChecked() const
{
    return m_form.KaraokeCheck->isChecked();
}

LogSink& FormSessionWindow::log()
{
    return m_form;
}

TrackTable& FormSessionWindow::trackTable()
{
    return m_form.m_trackTable;
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
