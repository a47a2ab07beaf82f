#include "controls/StyleThemeRenderer.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

using namespace ThemeParts;

void StyleThemeRenderer::DrawThemeBackground(QPainter& painter, const QWidget& widget, int part,
                                             int state, const QRect& rect)
{
    if (part != BP_PUSHBUTTON)
        return;

    QStyleOptionButton option;
    option.initFrom(&widget);
    option.rect = rect;
    option.features = QStyleOptionButton::None;
    option.state = QStyle::State_Enabled | QStyle::State_Raised;
    switch (state) {
    case PBS_HOT:
        option.state |= QStyle::State_MouseOver;
        break;
    case PBS_PRESSED:
        option.state = QStyle::State_Enabled | QStyle::State_Sunken;
        break;
    case PBS_DISABLED:
        option.state = QStyle::State_Raised;
        option.palette.setCurrentColorGroup(QPalette::Disabled);
        break;
    case PBS_DEFAULTED:
    case PBS_DEFAULTED_ANIMATING:
        option.features = QStyleOptionButton::DefaultButton;
        break;
    default:
        break;
    }
    if (widget.isActiveWindow() && state != PBS_DISABLED)
        option.state |= QStyle::State_Active;

    painter.save();
    widget.style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &widget);
    painter.restore();
}
