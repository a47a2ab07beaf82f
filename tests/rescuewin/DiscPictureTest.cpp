// The disc picture: sectors where the spiral puts them, damage that stays
// visible, and a redraw of changed rings that gives the same picture as
// drawing everything anew.
#include <gtest/gtest.h>

#include <QColor>

#include <cmath>
#include <random>

#include "DiscPicture.h"
#include "DiscSpiral.h"
#include "DiscState.h"

using namespace rilvane;
using namespace rilvane::rescuewin;
using tools::DiscSpiral;

namespace {

DiscState goodDisc(int32_t sectors, std::vector<int32_t> trackStarts = {0})
{
    rescue::DiscLayout layout;
    layout.trackStarts = std::move(trackStarts);
    layout.leadOut = sectors;
    DiscState disc(layout);
    for (int32_t s = 0; s < sectors; ++s) disc.set(s, SectorState::Good, 1);
    return disc;
}

bool reddish(QRgb c)
{
    return qRed(c) > qGreen(c) + 40;
}

bool greenish(QRgb c)
{
    return qGreen(c) > qRed(c) + 40;
}

QRgb pixelAt(const DiscPicture& picture, QPointF p)
{
    return picture.image().pixel(static_cast<int>(p.x()), static_cast<int>(p.y()));
}

// The middle of a sector's stretch of track.
QPointF middleOf(const DiscPicture& picture, int32_t s)
{
    const double r = (picture.radiusOf(s) + picture.radiusOf(s + 1)) / 2;
    double a0 = DiscSpiral::angle(s);
    double a1 = DiscSpiral::angle(s + 1);
    if (a1 < a0) a1 += DiscSpiral::kTwoPi;
    const double a = (a0 + a1) / 2;
    return picture.centre() + QPointF(r * std::cos(a), -r * std::sin(a));
}

}  // namespace

TEST(DiscSpiral, SectorsLieOnTheSpiralOfAnAudioCd)
{
    // A 74-minute disc fills the program area almost to the edge.
    const double end = DiscSpiral::radius(74 * 60 * 75);
    EXPECT_GT(end, 55.0);
    EXPECT_LT(end, DiscSpiral::kDiscRadius);
    EXPECT_NEAR(DiscSpiral::radius(-DiscSpiral::kPregap), DiscSpiral::kFirstRadius, 1e-9);
    // A sector takes 16 mm of track: about ten to a turn near the centre.
    const double perTurn = DiscSpiral::sectorAtTurns(101) - DiscSpiral::sectorAtTurns(100);
    EXPECT_NEAR(perTurn, 2 * std::numbers::pi * 25.2 / 16.0, 0.2);
    // The sector found at an angle on a turn starts before it and ends after it.
    for (const int64_t turn : {0, 1, 250, 4000, 19000}) {
        for (const double a : {0.0, 1.0, 3.0, 6.2}) {
            const int64_t s = DiscSpiral::sectorAtAngle(turn, a);
            const double start = DiscSpiral::turns(static_cast<double>(s));
            const double end = DiscSpiral::turns(static_cast<double>(s + 1));
            const double at = static_cast<double>(turn) + a / DiscSpiral::kTwoPi;
            EXPECT_LE(start, at + 1e-9) << turn << " " << a;
            EXPECT_GT(end, at) << turn << " " << a;
        }
    }
}

TEST(DiscPicture, AnUnreadableSectorShowsWhereItLiesAndIsNamedThere)
{
    DiscState disc = goodDisc(90000, {0, 30000, 60000});
    const int32_t bad = 45678;
    disc.set(bad, SectorState::Failed, 11);
    DiscPicture picture;
    picture.reset(disc, 500);

    const QPointF at = middleOf(picture, bad);
    EXPECT_TRUE(reddish(pixelAt(picture, at))) << std::hex << pixelAt(picture, at);
    EXPECT_EQ(picture.sectorAt(at), bad);
    // The same place half a turn round is good.
    const QPointF opposite = 2 * picture.centre() - at;
    EXPECT_TRUE(greenish(pixelAt(picture, opposite)));
    // Outside the program area there is no sector.
    EXPECT_FALSE(picture.sectorAt(picture.centre()));
    EXPECT_FALSE(picture.sectorAt(QPointF(2, 2)));
}

TEST(DiscPicture, ARadialScratchIsDrawnAsARadialLine)
{
    DiscState disc = goodDisc(120000);
    const double angle = 2.0;  // radians
    for (int64_t turn = 0;; ++turn) {
        const int64_t s = DiscSpiral::sectorAtAngle(turn, angle);
        if (s >= disc.sectors()) break;
        if (s >= 0) disc.set(static_cast<int32_t>(s), SectorState::Failed, 3);
    }
    DiscPicture picture;
    picture.reset(disc, 600);
    const double inner = picture.radiusOf(0) + 2;
    const double outer = picture.radiusOf(disc.sectors()) - 2;
    int red = 0;
    int steps = 0;
    for (double r = inner; r < outer; r += 1.0, ++steps) {
        if (reddish(pixelAt(picture, picture.centre() + QPointF(r * std::cos(angle), -r * std::sin(angle))))) ++red;
        // A quarter turn away the disc is good.
        const double other = angle + std::numbers::pi / 2;
        EXPECT_TRUE(greenish(pixelAt(picture, picture.centre() + QPointF(r * std::cos(other), -r * std::sin(other)))))
            << r;
    }
    EXPECT_EQ(red, steps);
}

TEST(DiscPicture, RedrawingChangedRingsGivesTheSamePictureAsDrawingAnew)
{
    DiscState disc = goodDisc(60000, {0, 20000, 40000});
    for (int32_t s = 0; s < disc.sectors(); ++s) disc.set(s, SectorState::Untried, 0);
    DiscPicture picture;
    picture.reset(disc, 400);
    EXPECT_EQ(picture.update(disc), 0);

    std::mt19937 random(7);
    const SectorState states[] = {SectorState::Good, SectorState::Verified, SectorState::Narrow,
                                  SectorState::Failed, SectorState::Suspect};
    for (int step = 0; step < 5; ++step) {
        // A stretch read, and a few scattered changes.
        const int32_t first = static_cast<int32_t>(random() % 50000);
        for (int32_t s = first; s < first + 3000; ++s) disc.set(s, SectorState::Good, 1);
        for (int i = 0; i < 40; ++i) {
            const auto s = static_cast<int32_t>(random() % static_cast<uint32_t>(disc.sectors()));
            disc.set(s, states[random() % 5], static_cast<uint16_t>(random() % 12));
        }
        const int redrawn = picture.update(disc);
        EXPECT_GT(redrawn, 0);
        DiscPicture fresh;
        fresh.reset(disc, 400);
        ASSERT_EQ(picture.image(), fresh.image()) << "step " << step;
    }
    // Only the rings of a change are redrawn.
    disc.set(30000, SectorState::Failed, 5);
    EXPECT_EQ(picture.update(disc), 1);
}

TEST(DiscPicture, FailedSectorsDeepenWithTheirTries)
{
    const QColor once = DiscPicture::colour(SectorState::Failed, 1);
    const QColor often = DiscPicture::colour(SectorState::Failed, 12);
    EXPECT_GT(once.lightness(), often.lightness());
    EXPECT_NE(DiscPicture::colour(SectorState::Good, 0), DiscPicture::colour(SectorState::Verified, 0));
    EXPECT_NE(DiscPicture::colour(SectorState::Data, 0), DiscPicture::colour(SectorState::Untried, 0));
}
