#include "app/WindowMessage.h"

#include <QCoreApplication>

namespace rilvane {

WindowMessageEvent::WindowMessageEvent(uint32_t message_, uintptr_t wParam_, intptr_t lParam_)
    : QEvent(eventType()), message(message_), wParam(wParam_), lParam(lParam_)
{
}

QEvent::Type WindowMessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postWindowMessage(QObject* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    QCoreApplication::postEvent(window, new WindowMessageEvent(message, wParam, lParam));
}

void sendWindowMessage(QObject* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    WindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(window, &event);
}

}  // namespace rilvane
