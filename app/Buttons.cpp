#include "app/Buttons.h"

#include "app/UiFonts.h"
#include "controls/ButtonsXP.h"
#include "controls/ImageBtnUnit.h"

#include <QPixmap>
#include <QToolButton>

#include <utility>

namespace rilvane {

TImageBtn* makeImageButton(QWidget* parent, const char* name, const QString& normal, const QString& pressed,
                           const QString& hint, QPoint position, std::function<void()> onClick)
{
    auto* button = new TImageBtn(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setPicture(QPixmap(normal));
    button->setPicture2(QPixmap(pressed));
    button->setToolTip(hint);
    button->setCursor(Qt::PointingHandCursor);
    button->move(position);
    QObject::connect(button, &TImageBtn::clicked, button, [handler = std::move(onClick)] { handler(); });
    return button;
}

TBitBtnXP* makeGlyphButton(QWidget* parent, const char* name, const QString& caption, const QString& glyphStrip,
                           const QRect& geometry, std::function<void()> onClick)
{
    auto* button = new TBitBtnXP(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setGlyph(QPixmap(glyphStrip));
    button->setFont(formFont());
    button->setGeometry(geometry);
    QObject::connect(button, &TBitBtnXP::clicked, button, [handler = std::move(onClick)] { handler(); });
    return button;
}

TBitBtnXP* makeOkButton(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* button = new TBitBtnXP(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setKind(bkOK);
    button->setFont(formFont());
    button->setGeometry(geometry);
    return button;
}

QToolButton* makeFlatButton(QWidget* parent, const char* name, const QString& caption, const QString& picture,
                            const QString& hint, const QRect& geometry, std::function<void()> onClick)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    const QPixmap pixmap(picture);
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setAutoFillBackground(true);  // not transparent
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(hint);
    button->setFont(formFont());
    button->setGeometry(geometry);
    QObject::connect(button, &QToolButton::clicked, button, [handler = std::move(onClick)] { handler(); });
    return button;
}

}  // namespace rilvane
