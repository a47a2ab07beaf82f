#include "DiscPicture.h"

#include <QPainter>

#include <algorithm>
#include <array>
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

// Classes from here on are damage: waiting to be narrowed, suspect, unreadable.
constexpr int kFirstBadClass = 5;
// How strongly a single damaged sector colours a cell of good ones.
constexpr double kLeastShare = 0.55;

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
        return {static_cast<int>(245 - f * 55), static_cast<int>(110 - f * 110), static_cast<int>(110 - f * 110)};
    }
    }
    return Qt::gray;
}

QColor DiscPicture::discColour()
{
    return {226, 228, 234};
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

    rings_ = rings;
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
    if (k < 0 || k >= rings_) return false;
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
    // Per cell: how many sectors of each severity pass through it, and the
    // most failed tries of an unreadable one.
    constexpr int kClasses = 8;
    std::vector<std::array<uint16_t, kClasses>> count(kCells);
    std::vector<uint16_t> mostTries(kCells, 0);
    for (int32_t s = ringStart_[static_cast<size_t>(ring)]; s < ringStart_[static_cast<size_t>(ring) + 1]; ++s) {
        const auto state = static_cast<SectorState>(states_[static_cast<size_t>(s)]);
        const int cls = severity(state);
        int first = 0;
        int last = 0;
        cellsOf(s, first, last);
        for (int c = first; c <= last; ++c) {
            const auto cell = static_cast<size_t>(c % kCells);
            ++count[cell][static_cast<size_t>(cls)];
            if (state == SectorState::Failed) mostTries[cell] = std::max(mostTries[cell], tries_[static_cast<size_t>(s)]);
        }
    }
    std::vector<QRgb> colours(kCells);
    for (size_t cell = 0; cell < static_cast<size_t>(kCells); ++cell) {
        const auto& n = count[cell];
        int total = 0;
        int bad = 0;
        int worst = 0;
        int common = 0;
        for (int c = 1; c < kClasses; ++c) {
            total += n[static_cast<size_t>(c)];
            if (n[static_cast<size_t>(c)] == 0) continue;
            if (c >= kFirstBadClass) {
                bad += n[static_cast<size_t>(c)];
                worst = c;
            } else if (common == 0 || n[static_cast<size_t>(c)] >= n[static_cast<size_t>(common)]) {
                common = c;
            }
        }
        if (total == 0) {
            colours[cell] = discColour().rgba();
            continue;
        }
        const QColor base = common ? colour(kBySeverity[common], 0) : QColor();
        if (bad == 0) {
            colours[cell] = base.rgba();
            continue;
        }
        const QColor hurt = colour(kBySeverity[worst], mostTries[cell]);
        if (!common) {
            colours[cell] = hurt.rgba();
            continue;
        }
        // A cell holds sectors of many turns. Where every turn is damaged
        // (a radial scratch's middle) it is fully coloured; a single bad
        // sector among many good ones still shows.
        const double share = static_cast<double>(bad) / total;
        const double a = kLeastShare + (1.0 - kLeastShare) * share * share;
        colours[cell] = qRgb(static_cast<int>(base.red() + (hurt.red() - base.red()) * a),
                             static_cast<int>(base.green() + (hurt.green() - base.green()) * a),
                             static_cast<int>(base.blue() + (hurt.blue() - base.blue()) * a));
    }
    auto* pixels = reinterpret_cast<QRgb*>(image_.bits());
    for (const auto& [index, cell] : ringPixels_[static_cast<size_t>(ring)]) pixels[index] = colours[cell];
}

int DiscPicture::update(const DiscState& disc)
{
    if (disc.sectors() != sectors_) {
        reset(disc, side_);
        return rings_;
    }
    const std::vector<uint8_t>& states = disc.states();
    const std::vector<uint16_t>& tries = disc.triesList();
    int redrawn = 0;
    for (size_t ring = 0; ring < static_cast<size_t>(rings_); ++ring) {
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
