#include "controls/GlyphList.h"

#include <QPainter>

namespace {
int g_liveLists = 0;
}

TGlyphList::TGlyphList(int width, int height)
    : m_width(width), m_height(height)
{
    ++g_liveLists;
}

TGlyphList::~TGlyphList()
{
    --g_liveLists;
}

int TGlyphList::liveCount()
{
    return g_liveLists;
}

int TGlyphList::allocateIndex()
{
    for (std::size_t i = 0; i < m_used.size(); ++i) {
        if (!m_used[i]) {
            m_used[i] = true;
            ++m_count;
            return static_cast<int>(i);
        }
    }
    QImage blank(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::transparent);
    m_images.push_back(blank);
    m_used.push_back(true);
    ++m_count;
    return static_cast<int>(m_images.size()) - 1;
}

QImage TGlyphList::fitted(const QImage& image) const
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (out.width() != m_width || out.height() != m_height) {
        QImage sized(m_width, m_height, QImage::Format_ARGB32);
        sized.fill(Qt::transparent);
        for (int y = 0; y < qMin(m_height, out.height()); ++y)
            for (int x = 0; x < qMin(m_width, out.width()); ++x)
                sized.setPixel(x, y, out.pixel(x, y));
        out = sized;
    }
    return out;
}

int TGlyphList::AddMasked(const QImage& image, QRgb maskColor)
{
    QImage copy = fitted(image);
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            if (line[x] == maskColor)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    const int index = allocateIndex();
    m_images[static_cast<std::size_t>(index)] =
        copy.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return index;
}

int TGlyphList::Add(const QImage& image)
{
    const QImage copy = fitted(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int index = allocateIndex();
    m_images[static_cast<std::size_t>(index)] = copy;
    return index;
}

void TGlyphList::Delete(int index)
{
    if (index < 0 || index >= capacity())
        return;
    const auto i = static_cast<std::size_t>(index);
    if (m_used[i]) {
        m_used[i] = false;
        m_images[i].fill(Qt::transparent);
        --m_count;
    }
}

void TGlyphList::Draw(QPainter& painter, int index, QPoint topLeft) const
{
    if (index < 0 || index >= capacity())
        return;
    painter.drawImage(topLeft, m_images[static_cast<std::size_t>(index)]);
}

QImage TGlyphList::image(int index) const
{
    if (index < 0 || index >= capacity())
        return {};
    return m_images[static_cast<std::size_t>(index)];
}
