#include "app/UiFonts.h"

#include <QStringList>

namespace rilvane {

namespace {

QFont makeFont(const QStringList& families, int pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

const QStringList& sansFamilies()
{
    static const QStringList families = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial",
                                         "DejaVu Sans"};
    return families;
}

}  // namespace

QFont formFont()
{
    return makeFont(sansFamilies(), 11, QFont::Normal);
}

QFont boldFormFont()
{
    return makeFont(sansFamilies(), 11, QFont::Bold);
}

QFont arialBlackFont(int pixelSize)
{
    return makeFont({"Arial Black", "Liberation Sans", "Arial", "DejaVu Sans"}, pixelSize, QFont::Black);
}

QFont arialNarrowFont(int pixelSize, bool bold)
{
    return makeFont({"Arial Narrow", "Liberation Sans Narrow", "DejaVu Sans Condensed", "Liberation Sans"},
                    pixelSize, bold ? QFont::Bold : QFont::Normal);
}

}  // namespace rilvane
