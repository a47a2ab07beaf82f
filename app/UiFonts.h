// The fonts of the window design, with close fallbacks where the original
// faces are not installed (they rarely are on Linux).
#pragma once

#include <QFont>

namespace rilvane {

// "MS Sans Serif", 8 point at 96 dpi, that is 11 pixels.
QFont formFont();
// The same, bold.
QFont boldFormFont();
// "Arial Black" at the given pixel height (heavy weight where the face is missing).
QFont arialBlackFont(int pixelSize);
// "Arial Narrow" at the given pixel height.
QFont arialNarrowFont(int pixelSize, bool bold);

}  // namespace rilvane
