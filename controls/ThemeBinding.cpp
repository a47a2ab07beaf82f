#include "controls/ThemeBinding.h"

#include "controls/StyleThemeRenderer.h"

#include <QApplication>
#include <QStyle>

#include <cstring>

namespace {
bool g_bound = false;
bool g_appThemed = true;
std::shared_ptr<ThemeRenderer> g_renderer;
} // namespace

bool ThemeBinding::acquire()
{
    if (!g_bound) {
        g_bound = true;
        g_renderer = std::make_shared<StyleThemeRenderer>();
    }
    return loaded();
}

bool ThemeBinding::loaded()
{
    return g_renderer != nullptr;
}

bool ThemeBinding::IsAppThemed()
{
    return g_appThemed;
}

bool ThemeBinding::IsThemeActive()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QStyle* style = QApplication::style();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

bool ThemeBinding::themesActive()
{
    return loaded() && IsAppThemed() && IsThemeActive();
}

std::shared_ptr<ThemeRenderer> ThemeBinding::OpenThemeData(const char* classList)
{
    if (!themesActive() || !classList || std::strcmp(classList, "BUTTON") != 0)
        return nullptr;
    return g_renderer;
}

void ThemeBinding::setAppThemed(bool themed)
{
    g_appThemed = themed;
}

void ThemeBinding::setRenderer(std::shared_ptr<ThemeRenderer> renderer)
{
    g_bound = true;
    g_renderer = std::move(renderer);
}
