#pragma once

#include <memory>

class ThemeRenderer;

// The process-wide binding to the theme renderer.
//
// The renderer is bound by the first acquire() and stays bound until the
// program ends. Themes are active when a renderer is bound, the application
// is themed (a process-wide switch, on by default) and a theme is active,
// which here means the application style is not Qt's plain "windows" style
// (that style is the classic look itself). Checked in that order.
// User-interface thread only.
class ThemeBinding {
public:
    // Binds the platform renderer unless one was bound (or refused) before;
    // returns whether a renderer is bound.
    static bool acquire();
    static bool loaded();
    static bool themesActive();

    static bool IsAppThemed();
    static bool IsThemeActive();

    // A handle on the renderer for a window class; null when themes are not
    // active or the class has no themed parts ("BUTTON" has).
    static std::shared_ptr<ThemeRenderer> OpenThemeData(const char* classList);

    // Process-wide switch behind IsAppThemed().
    static void setAppThemed(bool themed);
    // Replaces the bound renderer; null means no renderer is available, so
    // every button draws classically. Buttons keep the handle they opened.
    static void setRenderer(std::shared_ptr<ThemeRenderer> renderer);
};
