#include "DiscPicture.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "DiscSpiral.h"

namespace rilvane::rescuewin {

namespace {

using tools::DiscSpiral;

// How bad a state is: a cell shows its worst sector.
int severity(SectorState state)
{
    switch (state) {
    case SectorState::Data: return 1;
    case SectorState::Verified: return 2;
    case SectorState::Good: return 3;
    case SectorState::Untried: return 4;
    case SectorState::Narrow: return 5;
    case SectorState::Suspect: return 6;
    case SectorState::Failed: return 7;
    }
    return 4;
}

constexpr SectorState kBySeverity[] = {SectorState::Untried, SectorState::Data,    SectorState::Verified,
                                       SectorState::Good,    SectorState::Untried, SectorState::Narrow,
                                       SectorState::Suspect, SectorState::Failed};

// The sector whose start lies at `radiusMm` (fractional, may be < 0).
double sectorAtRadius(double radiusMm)
{
    const double r0 = DiscSpiral::kFirstRadius;
    return (radiusMm * radiusMm - r0 * r0) * std::numbers::pi / DiscSpiral::sectorArea() - DiscSpiral::kPregap;
}

}  // namespace

uint16_t DiscPicture::key(SectorState state, uint16_t tries)
{
    return static_cast<uint16_t>(severity(state) << 8 | std::min<uint16_t>(tries, 255));
}

QColor DiscPicture::colour(SectorState state, uint16_t tries)
{
    switch (state) {
    case SectorState::Untried: return {168, 168, 172};
    case SectorState::Good: return {92, 190, 92};
    case SectorState::Verified: return {24, 120, 48};
    case SectorState::Narrow: return {60, 120, 215};
    case SectorState::Suspect: return {240, 165, 0};
    case SectorState::Data: return {186, 170, 140};
    case SectorState::Failed: {
        // Light red after one failed try, deep red from twelve on.
        const double f = std::clamp((static_cast<double>(tries) - 1) / 11.0, 0.0, 1.0);
        return {static_cast<int>(245 - f * 105), static_cast<int>(110 - f * 110), static_cast<int>(110 - f * 110)};
    }
    }
    return Qt::gray;
}

QColor DiscPicture::discColour()
{
    return {226, 228, 234};
}

QColor DiscPicture::keyColour(uint16_t k)
{
    if (k == 0) return discColour();
    return colour(kBySeverity[std::min(k >> 8, 7)], static_cast<uint16_t>(k & 0xFF));
}

void DiscPicture::reset(const DiscState& disc, int side)
{
    side_ = std::max(side, 16);
    scale_ = (side_ / 2.0 - 1.0) / DiscSpiral::kDiscRadius;
    innerPx_ = DiscSpiral::kFirstRadius * scale_;
    sectors_ = disc.sectors();
    states_ = disc.states();
    tries_ = disc.triesList();

    const double outerPx = DiscSpiral::radius(sectors_) * scale_;
    const int rings = std::max(1, static_cast<int>(std::ceil(outerPx - innerPx_)));
    ringStart_.assign(static_cast<size_t>(rings) + 1, 0);
    for (int k = 0; k <= rings; ++k) {
        const double s = std::ceil(sectorAtRadius((innerPx_ + k) / scale_));
        ringStart_[static_cast<size_t>(k)] = static_cast<int32_t>(std::clamp(s, 0.0, static_cast<double>(sectors_)));
    }
    ringStart_.back() = sectors_;
    cellStart_.resize(static_cast<size_t>(sectors_) + 1);
    for (int32_t s = 0; s <= sectors_; ++s)
        cellStart_[static_cast<size_t>(s)] = DiscSpiral::angle(s) / DiscSpiral::kTwoPi * kCells;

    image_ = QImage(side_, side_, QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::transparent);
    {
        QPainter p(&image_);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c = centre();
        p.setPen(QPen(QColor(150, 150, 158), 1));
        p.setBrush(discColour());
        p.drawEllipse(c, DiscSpiral::kDiscRadius * scale_, DiscSpiral::kDiscRadius * scale_);
        // The clamping area, clear plastic without data.
        p.setBrush(QColor(240, 241, 244));
        p.drawEllipse(c, 23.0 * scale_, 23.0 * scale_);
        p.setBrush(Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.drawEllipse(c, DiscSpiral::kHoleRadius * scale_, DiscSpiral::kHoleRadius * scale_);
    }

    cellKeys_.assign(static_cast<size_t>(rings), std::vector<uint16_t>(kCells, 0));
    ringPixels_.assign(static_cast<size_t>(rings), {});
    const double c = side_ / 2.0;
    for (int y = 0; y < side_; ++y) {
        for (int x = 0; x < side_; ++x) {
            int ring = 0;
            int cell = 0;
            if (cellOf(QPointF(x + 0.5, y + 0.5), ring, cell))
                ringPixels_[static_cast<size_t>(ring)].emplace_back(y * side_ + x, static_cast<uint16_t>(cell));
        }
    }
    (void)c;
    for (int k = 0; k < rings; ++k) drawRing(k);
}

bool DiscPicture::cellOf(QPointF point, int& ring, int& cell) const
{
    const double dx = point.x() - side_ / 2.0;
    const double dy = side_ / 2.0 - point.y();
    const double r = std::hypot(dx, dy);
    const double k = std::floor(r - innerPx_);
    if (k < 0 || k >= static_cast<double>(cellKeys_.size())) return false;
    double a = std::atan2(dy, dx);
    if (a < 0) a += DiscSpiral::kTwoPi;
    ring = static_cast<int>(k);
    cell = std::min(kCells - 1, static_cast<int>(a / DiscSpiral::kTwoPi * kCells));
    return true;
}

void DiscPicture::cellsOf(int32_t s, int& first, int& last) const
{
    const double a0 = cellStart_[static_cast<size_t>(s)];
    double a1 = cellStart_[static_cast<size_t>(s) + 1];
    if (a1 < a0) a1 += kCells;  // the sector crosses the angle 0
    first = static_cast<int>(a0);
    last = std::max(first, static_cast<int>(std::ceil(a1)) - 1);
}

void DiscPicture::drawRing(int ring)
{
    std::vector<uint16_t>& keys = cellKeys_[static_cast<size_t>(ring)];
    std::fill(keys.begin(), keys.end(), 0);
    for (int32_t s = ringStart_[static_cast<size_t>(ring)]; s < ringStart_[static_cast<size_t>(ring) + 1]; ++s) {
        const uint16_t k = key(static_cast<SectorState>(states_[static_cast<size_t>(s)]), tries_[static_cast<size_t>(s)]);
        int first = 0;
        int last = 0;
        cellsOf(s, first, last);
        for (int c = first; c <= last; ++c) {
            uint16_t& cellKey = keys[static_cast<size_t>(c % kCells)];
            cellKey = std::max(cellKey, k);
        }
    }
    auto* pixels = reinterpret_cast<QRgb*>(image_.bits());
    QRgb colours[8 * 256];
    bool known[8 * 256] = {};
    for (const auto& [index, cell] : ringPixels_[static_cast<size_t>(ring)]) {
        const uint16_t k = std::min<uint16_t>(keys[cell], 8 * 256 - 1);
        if (!known[k]) {
            colours[k] = keyColour(k).rgba();
            known[k] = true;
        }
        pixels[index] = colours[k];
    }
}

int DiscPicture::update(const DiscState& disc)
{
    if (disc.sectors() != sectors_) {
        reset(disc, side_);
        return static_cast<int>(cellKeys_.size());
    }
    const std::vector<uint8_t>& states = disc.states();
    const std::vector<uint16_t>& tries = disc.triesList();
    int redrawn = 0;
    for (size_t ring = 0; ring < cellKeys_.size(); ++ring) {
        const auto first = static_cast<size_t>(ringStart_[ring]);
        const auto end = static_cast<size_t>(ringStart_[ring + 1]);
        if (std::equal(states.begin() + first, states.begin() + end, states_.begin() + first) &&
            std::equal(tries.begin() + first, tries.begin() + end, tries_.begin() + first))
            continue;
        std::copy(states.begin() + first, states.begin() + end, states_.begin() + first);
        std::copy(tries.begin() + first, tries.begin() + end, tries_.begin() + first);
        drawRing(static_cast<int>(ring));
        ++redrawn;
    }
    return redrawn;
}

double DiscPicture::radiusOf(int32_t sector) const
{
    return DiscSpiral::radius(sector) * scale_;
}

QPointF DiscPicture::pointOf(int32_t sector) const
{
    const double r = radiusOf(sector);
    const double a = DiscSpiral::angle(sector);
    return {side_ / 2.0 + r * std::cos(a), side_ / 2.0 - r * std::sin(a)};
}

std::optional<int32_t> DiscPicture::sectorAt(QPointF point) const
{
    int ring = 0;
    int cell = 0;
    if (!cellOf(point, ring, cell)) return std::nullopt;
    std::optional<int32_t> best;
    uint16_t bestKey = 0;
    for (int32_t s = ringStart_[static_cast<size_t>(ring)]; s < ringStart_[static_cast<size_t>(ring) + 1]; ++s) {
        int first = 0;
        int last = 0;
        cellsOf(s, first, last);
        const bool covers = (cell >= first && cell <= last) || (cell + kCells >= first && cell + kCells <= last);
        if (!covers) continue;
        const uint16_t k = key(static_cast<SectorState>(states_[static_cast<size_t>(s)]), tries_[static_cast<size_t>(s)]);
        if (!best || k > bestKey) {
            best = s;
            bestKey = k;
        }
    }
    return best;
}

}  // namespace rilvane::rescuewin
