#pragma once

#include "controls/ButtonColors.h"
#include "controls/ButtonTypes.h"

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QString>

#include <array>
#include <functional>

class QPainter;
class TGlyphList;

// The glyph of a bitmap button: a strip of up to four equal images side by
// side (up, disabled, down, exclusive), the ready-made state images kept in a
// shared image list, and the layout and drawing of glyph and caption.
class TButtonGlyph {
public:
    static constexpr QRgb initialTransparentColor = 0xFF808000u;  // olive

    TButtonGlyph();
    ~TButtonGlyph();
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    const QImage& Glyph() const { return m_original; }
    // Copies the strip; its lower-left pixel becomes the transparent colour.
    // A strip whose width is a whole multiple of its height sets NumGlyphs
    // to width / height, or to 1 when that exceeds 4.
    void setGlyph(const QImage& strip);

    int NumGlyphs() const { return m_numGlyphs; }
    // 0 is ignored, negative values become 1, values above 4 become 4.
    void setNumGlyphs(int value);

    QRgb TransparentColor() const { return m_transparentColor; }

    // Called after every change of the strip or of the number of images.
    void setOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    // Size of one image of the strip (0 x 0 without a strip).
    QSize imageSize() const;

    // Makes the image for a state ready (if not done yet) and returns its slot
    // in glyphList(), or -1 when there is nothing to show.
    int CreateButtonGlyph(TButtonState state, const ButtonColors& colors);
    // Slot of a ready-made state image, -1 while not made.
    int stateIndex(TButtonState state) const;
    TGlyphList* glyphList() const { return m_glyphList; }
    // Releases all state images and gives the image list back to the cache.
    void releaseStateImages();

    // Draws glyph and caption into box with the given layout; returns the
    // rectangle the caption was drawn in.
    QRect Draw(QPainter& painter, const QRect& box, const QString& caption, TButtonLayout layout,
               int margin, int spacing, TButtonState state, bool rightToLeft,
               const ButtonColors& colors, int textFlags);

private:
    void changed();
    QImage cell(int imageNumber) const;

    QImage m_original;
    QRgb m_transparentColor = initialTransparentColor;
    int m_numGlyphs = 1;
    std::array<int, 4> m_indexs{-1, -1, -1, -1};
    TGlyphList* m_glyphList = nullptr;
    std::function<void()> m_onChange;
};
