#pragma once

class QPainter;
class QRect;
class QWidget;

// Part and state numbers of the visual-style renderer for the "BUTTON" class.
namespace ThemeParts {
inline constexpr int BP_PUSHBUTTON = 1;

inline constexpr int PBS_NORMAL = 1;
inline constexpr int PBS_HOT = 2;
inline constexpr int PBS_PRESSED = 3;
inline constexpr int PBS_DISABLED = 4;
inline constexpr int PBS_DEFAULTED = 5;
inline constexpr int PBS_DEFAULTED_ANIMATING = 6;
} // namespace ThemeParts

// Something that paints themed control parts, opened for one window class.
// An opened renderer is the theme handle a button keeps for its lifetime.
class ThemeRenderer {
public:
    virtual ~ThemeRenderer();
    // Paints part in state into rect. widget supplies palette, style and
    // layout direction; it is not asked for its own state.
    virtual void DrawThemeBackground(QPainter& painter, const QWidget& widget, int part, int state,
                                     const QRect& rect) = 0;
};
