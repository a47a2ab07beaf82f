#pragma once

#include <QImage>
#include <QPoint>
#include <QRgb>

#include <vector>

class QPainter;

// An image list of one fixed image size. Slots are handed out lowest-free
// first; the list grows by one blank image when every slot is in use.
// Freeing a slot only marks it unused, so indexes of other slots stay valid.
class TGlyphList {
public:
    TGlyphList(int width, int height);
    ~TGlyphList();
    TGlyphList(const TGlyphList&) = delete;
    TGlyphList& operator=(const TGlyphList&) = delete;

    // Stores a copy of image (cropped or padded to the list's size) in which
    // every pixel of maskColor is transparent; returns its slot.
    int AddMasked(const QImage& image, QRgb maskColor);
    // Stores a copy of image with its own alpha channel; returns its slot.
    int Add(const QImage& image);
    // Frees a slot; freeing an unused or unknown slot does nothing.
    void Delete(int index);

    void Draw(QPainter& painter, int index, QPoint topLeft) const;
    QImage image(int index) const;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Number of used slots.
    int Count() const { return m_count; }
    // Number of slots, used or not.
    int capacity() const { return static_cast<int>(m_images.size()); }

    // Number of image lists alive in the process.
    static int liveCount();

private:
    int allocateIndex();
    QImage fitted(const QImage& image) const;

    int m_width;
    int m_height;
    int m_count = 0;
    std::vector<QImage> m_images;
    std::vector<bool> m_used;
};
