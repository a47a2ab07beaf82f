// Window messages to the main window, carried as Qt events: the message
// number and its two parameters. Posting is safe from any thread; the window
// handles the message on the user-interface thread.
#pragma once

#include <QEvent>

#include <cstdint>

class QObject;

namespace rilvane {

constexpr uint32_t kWmUser = 0x0400;  // WM_USER

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam);

    static QEvent::Type eventType();

    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// Queues the message for `window` (PostMessage).
void postWindowMessage(QObject* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Delivers the message to `window` at once, on the calling thread, which
// must be the window's thread (SendMessage).
void sendWindowMessage(QObject* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace rilvane
