#include "controls/ButtonColors.h"

#include <QPalette>

ButtonColors ButtonColors::fromPalette(const QPalette& palette)
{
    ButtonColors c;
    c.face = palette.color(QPalette::Active, QPalette::Button);
    c.highlight = palette.color(QPalette::Active, QPalette::Light);
    c.shadow = palette.color(QPalette::Active, QPalette::Dark);
    c.frame = palette.color(QPalette::Active, QPalette::Shadow);
    c.text = palette.color(QPalette::Active, QPalette::ButtonText);
    return c;
}
