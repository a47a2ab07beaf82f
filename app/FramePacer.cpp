#include "app/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace rilvane {

namespace {
// Screens that report no rate, or an odd one, are taken to show 60 pictures
// a second.
constexpr qreal kDefaultRate = 60.0;
constexpr qreal kLowestRate = 24.0;
constexpr qreal kHighestRate = 240.0;
}  // namespace

FramePacer::FramePacer(QWidget* window) : QObject(window), m_window(window)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FramePacer::flushHeld);
    window->installEventFilter(this);
}

qint64 frameIntervalOf(const QWidget* widget)
{
    qreal rate = kDefaultRate;
    if (const QScreen* screen = widget->screen()) {
        const qreal reported = screen->refreshRate();
        if (std::isfinite(reported) && reported >= kLowestRate && reported <= kHighestRate) rate = reported;
    }
    return static_cast<qint64>(1e9 / rate);
}

FramePacer* FramePacer::of(const QWidget* widget)
{
    return widget->window()->findChild<FramePacer*>(QString(), Qt::FindDirectChildrenOnly);
}

qint64 FramePacer::frameInterval() const
{
    return frameIntervalOf(m_window);
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_forwarding) return false;
    if (m_timer.isActive()) return true;  // already held: the held one paints this too
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 since = now - m_lastFlush;
    const qint64 interval = frameInterval();
    if (m_lastFlush < 0 || since >= interval) {
        m_lastFlush = now;
        Q_EMIT aboutToFlush();
        return false;
    }
    // Qt sends no further request until this one is handled, so holding it
    // holds every repaint of the window until the timer hands it on.
    ++m_held;
    const qint64 left = interval - since;
    m_timer.start(static_cast<int>(std::max<qint64>(1, (left + 999999) / 1000000)));
    return true;
}

void FramePacer::flushHeld()
{
    m_lastFlush = m_clock.nsecsElapsed();
    m_forwarding = true;
    Q_EMIT aboutToFlush();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_forwarding = false;
}

}  // namespace rilvane
