// The picture of a disc's read side: every sector drawn where it lies on the
// spiral (see DiscSpiral), coloured by its state.
//
// The picture is kept as an image. One pixel ring holds many turns of the
// spiral, so each ring is divided into a fixed number of angle cells; a
// cell shows the most common state of the sectors passing through it, with
// the colour of the worst damage among them laid over it as strongly as
// its share of them (but always visible: an unreadable sector must never
// hide behind good ones); unreadable ones deeper red with more failed tries. Sectors of one ring are a contiguous
// range, so a change of a few sectors redraws only the rings they lie in.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

#include "DiscState.h"

namespace rilvane::rescuewin {

class DiscPicture {
public:
    static constexpr int kCells = 1024;  // angle cells per ring

    // Makes the picture `side` pixels square for `disc` and draws it whole.
    void reset(const DiscState& disc, int side);
    // Takes the states of `disc` (the same disc as at reset) and redraws the
    // rings whose sectors changed. The number of rings redrawn.
    int update(const DiscState& disc);

    const QImage& image() const { return image_; }
    int side() const { return side_; }

    // Pixel geometry of the picture.
    double pixelsPerMm() const { return scale_; }
    QPointF centre() const { return {side_ / 2.0, side_ / 2.0}; }
    // Where the start of `sector` lies in the picture.
    QPointF pointOf(int32_t sector) const;
    // The radius in pixels of the start of `sector`.
    double radiusOf(int32_t sector) const;

    // The sector shown at a point: of the sectors passing through that cell,
    // the one whose state the cell shows. Empty outside the sectors.
    std::optional<int32_t> sectorAt(QPointF point) const;

    static QColor colour(SectorState state, uint16_t tries);
    static QColor discColour();

private:
    static uint16_t key(SectorState state, uint16_t tries);
    void drawRing(int ring);
    // Angle cells [first, last] (wrapping) of sector s.
    void cellsOf(int32_t s, int& first, int& last) const;
    bool cellOf(QPointF point, int& ring, int& cell) const;

    int side_ = 0;
    double scale_ = 1;
    double innerPx_ = 0;
    int32_t sectors_ = 0;
    std::vector<int32_t> ringStart_;                 // first sector of each ring, and the end
    int rings_ = 0;
    std::vector<std::vector<std::pair<int32_t, uint16_t>>> ringPixels_;  // pixel index, cell
    std::vector<uint8_t> states_;
    std::vector<uint16_t> tries_;
    std::vector<double> cellStart_;                  // cached angle of every sector's start, in cells
    QImage image_;
};

}  // namespace rilvane::rescuewin
