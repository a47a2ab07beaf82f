#include "app/MessagePrompt.h"

#include <utility>

namespace rilvane {

namespace {

MessagePrompt& currentPrompt()
{
    static MessagePrompt prompt;
    return prompt;
}

QMessageBox::StandardButton realMessageBox(const MessageRequest& request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

QMessageBox::StandardButton showMessage(const MessageRequest& request)
{
    if (currentPrompt())
        return currentPrompt()(request);
    return realMessageBox(request);
}

MessagePrompt setMessagePrompt(MessagePrompt prompt)
{
    return std::exchange(currentPrompt(), std::move(prompt));
}

}  // namespace rilvane
