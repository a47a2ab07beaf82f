#include "controls/ButtonGlyph.h"

#include "controls/GlyphCache.h"
#include "controls/GlyphLayout.h"
#include "controls/GlyphList.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr QRgb white = 0xFFFFFFFFu;
constexpr QRgb grey = 0xFF808080u;
constexpr QRgb black = 0xFF000000u;

// The disabled look from a strip that carries its own disabled image: white
// and grey turn into the face's lit and shaded colours; the transparent colour
// becomes face, which is left see-through so the face drawn below shows.
QImage recolourDisabled(const QImage& source, QRgb transparent, const ButtonColors& colors)
{
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb highlight = colors.highlight.rgba();
    const QRgb shadow = colors.shadow.rgba();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (line[x] == transparent)
                line[x] = qRgba(0, 0, 0, 0);
            else if (line[x] == white)
                line[x] = highlight;
            else if (line[x] == grey)
                line[x] = shadow;
        }
    }
    return out;
}

// The embossed disabled look from a single image: its black pixels, once lit
// and shifted by (1, 1), then shaded in place; everything else shows face.
QImage embossDisabled(const QImage& source, const ButtonColors& colors)
{
    const QImage in = source.convertToFormat(QImage::Format_ARGB32);
    QImage out(in.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const int w = in.width();
    const int h = in.height();
    const QRgb highlight = colors.highlight.rgba();
    const QRgb shadow = colors.shadow.rgba();
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(in.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (src[x] == black && x + 1 < w && y + 1 < h)
                out.setPixel(x + 1, y + 1, highlight);
        }
    }
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(in.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (src[x] == black)
                out.setPixel(x, y, shadow);
        }
    }
    return out;
}

} // namespace

TButtonGlyph::TButtonGlyph()
{
    TGlyphCache::acquire();
}

TButtonGlyph::~TButtonGlyph()
{
    releaseStateImages();
    TGlyphCache::releaseIfEmpty();
}

void TButtonGlyph::changed()
{
    if (m_onChange)
        m_onChange();
}

void TButtonGlyph::setGlyph(const QImage& strip)
{
    releaseStateImages();
    m_original = strip.isNull() ? QImage() : strip.convertToFormat(QImage::Format_ARGB32);
    if (m_original.height() > 0) {
        m_transparentColor = m_original.pixel(0, m_original.height() - 1);
        if (m_original.width() % m_original.height() == 0) {
            int count = m_original.width() / m_original.height();
            if (count > 4)
                count = 1;
            if (count != 0)
                m_numGlyphs = count;
        }
    }
    changed();
}

void TButtonGlyph::setNumGlyphs(int value)
{
    if (value == 0)
        return;
    if (value < 0)
        value = 1;
    else if (value > 4)
        value = 4;
    if (value == m_numGlyphs)
        return;
    releaseStateImages();
    m_numGlyphs = value;
    changed();
}

QSize TButtonGlyph::imageSize() const
{
    if (m_original.isNull())
        return {0, 0};
    return {m_original.width() / m_numGlyphs, m_original.height()};
}

QImage TButtonGlyph::cell(int imageNumber) const
{
    const QSize size = imageSize();
    return m_original.copy(imageNumber * size.width(), 0, size.width(), size.height());
}

int TButtonGlyph::stateIndex(TButtonState state) const
{
    return m_indexs[static_cast<std::size_t>(state)];
}

int TButtonGlyph::CreateButtonGlyph(TButtonState state, const ButtonColors& colors)
{
    if (state == bsDown && m_numGlyphs < 3)
        state = bsUp;
    int& slot = m_indexs[static_cast<std::size_t>(state)];
    if (slot != -1)
        return slot;

    const QSize size = imageSize();
    if (size.width() <= 0 || size.height() <= 0)
        return -1;
    if (!m_glyphList)
        m_glyphList = TGlyphCache::acquire().GetList(size.width(), size.height());

    int imageNumber = static_cast<int>(state);
    if (imageNumber >= m_numGlyphs)
        imageNumber = 0;

    switch (state) {
    case bsUp:
    case bsDown:
    case bsExclusive:
        slot = m_glyphList->AddMasked(cell(imageNumber), m_transparentColor);
        break;
    case bsDisabled:
        if (m_numGlyphs > 1)
            slot = m_glyphList->Add(recolourDisabled(cell(imageNumber), m_transparentColor, colors));
        else
            slot = m_glyphList->Add(embossDisabled(cell(0), colors));
        break;
    }
    return slot;
}

void TButtonGlyph::releaseStateImages()
{
    if (m_glyphList) {
        for (int& slot : m_indexs) {
            if (slot != -1)
                m_glyphList->Delete(slot);
        }
        if (TGlyphCache* cache = TGlyphCache::instance())
            cache->ReturnList(m_glyphList);
        m_glyphList = nullptr;
    }
    m_indexs.fill(-1);
}

QRect TButtonGlyph::Draw(QPainter& painter, const QRect& box, const QString& caption,
                         TButtonLayout layout, int margin, int spacing, TButtonState state,
                         bool rightToLeft, const ButtonColors& colors, int textFlags)
{
    const QSize glyphSize = imageSize();
    QSize textSize(0, 0);
    if (!caption.isEmpty())
        textSize = QFontMetrics(painter.font()).size(textFlags, caption);

    const GlyphLayout place =
        calcButtonLayout(box.size(), glyphSize, textSize, layout, margin, spacing, rightToLeft);

    const int slot = CreateButtonGlyph(state, colors);
    if (slot != -1)
        m_glyphList->Draw(painter, slot, box.topLeft() + place.glyphPos);

    const QRect textRect(box.topLeft() + place.textPos, textSize);
    if (!caption.isEmpty()) {
        painter.save();
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        const int flags = textFlags | Qt::AlignHCenter | Qt::AlignVCenter;
        if (state == bsDisabled) {
            painter.setPen(colors.highlight);
            painter.drawText(textRect.translated(1, 1), flags, caption);
            painter.setPen(colors.shadow);
            painter.drawText(textRect, flags, caption);
        } else {
            painter.setPen(colors.text);
            painter.drawText(textRect, flags, caption);
        }
        painter.restore();
    }
    return textRect;
}
