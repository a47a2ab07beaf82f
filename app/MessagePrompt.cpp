#include "app/MessagePrompt.h"

#include <QScreen>

#include <utility>

namespace rilvane {

namespace {

MessagePrompt& currentPrompt()
{
    static MessagePrompt prompt;
    return prompt;
}

// A message box over a window that is not on screen yet (a failure while
// the window is being set up) would be placed against the hidden window,
// near the screen's top-left corner; it is centred on the screen instead.
class PlacedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        const QWidget* owner = parentWidget();
        if (owner != nullptr && owner->isVisible())
            return;
        if (const QScreen* s = owner != nullptr ? owner->screen() : screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
};

QMessageBox::StandardButton realMessageBox(const MessageRequest& request)
{
    PlacedMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
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
