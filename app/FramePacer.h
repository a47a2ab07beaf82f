// Keeps a top-level window from bringing its picture to the screen more often
// than the screen shows new pictures.
//
// Qt collects the regions that widgets mark for repainting and paints and
// flushes them all at once when the window's update request is handled. A
// loop that pumps messages after every short step (the read loops do, after
// each block) would otherwise paint and flush the window after every step,
// and every flush waits for the display server. The pacer lets an update
// request through when the last one is at least a frame ago, and holds one
// that comes sooner until the frame is over; whatever was marked meanwhile is
// painted then, in one go. Nothing is dropped and nothing waits longer than
// one frame. Widgets that keep a change back until the window paints listen to
// aboutToFlush().
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace rilvane {

// Nanoseconds of one frame of the screen `widget` is on.
qint64 frameIntervalOf(const QWidget* widget);

class FramePacer : public QObject {
    Q_OBJECT
public:
    // Paces `window` (a top-level widget) and lives as long as it.
    explicit FramePacer(QWidget* window);

    // The pacer of the window `widget` is in, if that window has one.
    static FramePacer* of(const QWidget* widget);

    // Nanoseconds between two flushes: one frame of the window's screen.
    qint64 frameInterval() const;
    // How many update requests were held back for a later frame so far.
    int heldRequests() const { return m_held; }

Q_SIGNALS:
    // The window is about to paint what was marked and bring it to the
    // screen; what is marked now is painted with it.
    void aboutToFlush();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void flushHeld();

    QWidget* m_window;
    QElapsedTimer m_clock;
    qint64 m_lastFlush = -1;  // m_clock time of the last update let through
    QTimer m_timer;           // runs while an update request is held
    bool m_forwarding = false;
    int m_held = 0;
};

}  // namespace rilvane
