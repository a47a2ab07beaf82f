#include "app/PositionLabel.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

rilvane::TrackTable threeTracks()
{
    rilvane::TrackTable table;
    table.count = 3;
    table.slot(1) = 150;
    table.slot(2) = 20000;
    table.slot(3) = 40000;
    table.slot(4) = 60000;  // lead-out
    return table;
}

}  // namespace

TEST(PositionLabel, StartUpTableAtItsFirstSector)
{
    rilvane::TrackTable table;
    table.presetStartup();
    EXPECT_EQ(rilvane::positionLabel(500, table), "Track no. 1 Time 00:00:00 s");
    EXPECT_EQ(rilvane::positionLabel(500 + 75 * 3661, table), "Track no. 1 Time 01:01:01 s");
}

TEST(PositionLabel, CountsWholeSecondsFromTheTrackStart)
{
    const rilvane::TrackTable table = threeTracks();
    EXPECT_EQ(rilvane::positionLabel(24500, table), "Track no. 2 Time 00:01:00 s");
    EXPECT_EQ(rilvane::positionLabel(20000 + 74, table), "Track no. 2 Time 00:00:00 s");
    EXPECT_EQ(rilvane::positionLabel(20000 + 75, table), "Track no. 2 Time 00:00:01 s");
    EXPECT_EQ(rilvane::positionLabel(39999, table), "Track no. 2 Time 00:04:26 s");
    EXPECT_EQ(rilvane::positionLabel(40000, table), "Track no. 3 Time 00:00:00 s");
    EXPECT_EQ(rilvane::positionLabel(59999, table), "Track no. 3 Time 00:04:26 s");
}

TEST(PositionLabel, AtOrPastTheLeadOutCountsFromSectorZeroAsTrackOne)
{
    const rilvane::TrackTable table = threeTracks();
    EXPECT_EQ(rilvane::positionLabel(60000, table), "Track no. 1 Time 00:13:20 s");
    // Hours keep all their digits.
    EXPECT_EQ(rilvane::positionLabel(std::numeric_limits<int32_t>::max(), table), "Track no. 1 Time 7953:38:35 s");
}

TEST(PositionLabel, BeforeTrackOneOrNegativeShowsTheTrackStart)
{
    const rilvane::TrackTable table = threeTracks();
    EXPECT_EQ(rilvane::positionLabel(0, table), "Track no. 1 Time 00:00:00 s");
    EXPECT_EQ(rilvane::positionLabel(149, table), "Track no. 1 Time 00:00:00 s");
    EXPECT_EQ(rilvane::positionLabel(-1, table), "Track no. 1 Time 00:00:00 s");
    EXPECT_EQ(rilvane::positionLabel(std::numeric_limits<int32_t>::min(), table), "Track no. 1 Time 00:00:00 s");
}

TEST(PositionLabel, ATableOfAllSlotsIsSearchedOnlyWithinItsBounds)
{
    rilvane::TrackTable table;
    table.count = rilvane::kTrackSlots;  // no room for a lead-out slot
    for (int i = 1; i <= rilvane::kTrackSlots; ++i)
        table.slot(i) = i * 1000;
    EXPECT_EQ(rilvane::positionLabel(256 * 1000 + 75, table), "Track no. 1 Time 00:56:54 s");
    EXPECT_EQ(rilvane::positionLabel(255 * 1000 + 75, table), "Track no. 255 Time 00:00:01 s");
    table.count = -5;  // a broken table still gives a label
    EXPECT_EQ(rilvane::positionLabel(2000, table), "Track no. 1 Time 00:00:26 s");
}
