// Construction of the window's buttons, one function per kind of button, so
// that each kind is made in exactly one place.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

class QToolButton;
class QWidget;
class TBitBtnXP;
class TImageBtn;

namespace rilvane {

// A picture that acts as a push button: `normal` shown, `pressed` while held;
// it sizes itself to the picture and has the hand-pointer cursor.
TImageBtn* makeImageButton(QWidget* parent, const char* name, const QString& normal, const QString& pressed,
                           const QString& hint, QPoint position, std::function<void()> onClick);

// A themed bitmap button with a glyph strip (normal and disabled image side
// by side) to the left of its caption.
TBitBtnXP* makeGlyphButton(QWidget* parent, const char* name, const QString& caption, const QString& glyphStrip,
                           const QRect& geometry, std::function<void()> onClick);

// The OK button of a dialog (kind OK): caption "OK", the OK glyph, the
// default button; it closes its dialog with the result OK.
TBitBtnXP* makeOkButton(QWidget* parent, const char* name, const QRect& geometry);

// A flat button whose border shows only under the mouse, with a picture to
// the left of its caption; it takes no focus.
QToolButton* makeFlatButton(QWidget* parent, const char* name, const QString& caption, const QString& picture,
                            const QString& hint, const QRect& geometry, std::function<void()> onClick);

}  // namespace rilvane
