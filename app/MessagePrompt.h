// The window's message boxes go through one replaceable function, so that
// tests can answer them without a dialog on screen.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace rilvane {

struct MessageRequest {
    QWidget* parent = nullptr;
    QString title;  // empty: the application's name
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

using MessagePrompt = std::function<QMessageBox::StandardButton(const MessageRequest&)>;

// Shows the request and returns the button that closed it; closing the box
// by its close box or Escape counts as Cancel where there is one (the only
// button otherwise).
QMessageBox::StandardButton showMessage(const MessageRequest& request);

// Replaces the function showMessage() uses; an empty function restores the
// real message box. Returns the previous one.
MessagePrompt setMessagePrompt(MessagePrompt prompt);

}  // namespace rilvane
