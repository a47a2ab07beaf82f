#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>

// Small pictures for the button tests.
namespace testimg {

inline constexpr QRgb olive = 0xFF808000u;

inline QPixmap solid(QSize size, QColor colour)
{
    QPixmap p(size);
    p.fill(colour);
    return p;
}

// A strip of count square cells of side size on olive; each cell has a 4 x 4
// block of its own marker colour at (4, 4).
inline QImage strip(int count, int size, const QColor* markers)
{
    QImage img(count * size, size, QImage::Format_ARGB32);
    img.fill(olive);
    for (int c = 0; c < count; ++c)
        for (int y = 4; y < 8; ++y)
            for (int x = 4; x < 8; ++x)
                img.setPixel(c * size + x, y, markers[c].rgba());
    return img;
}

// Where the first pixel of colour lies in img (scan order), or (-1, -1).
inline QPoint find(const QImage& img, QRgb colour)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == colour)
                return {x, y};
    return {-1, -1};
}

inline int count(const QImage& img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

} // namespace testimg
