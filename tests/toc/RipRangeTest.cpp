#include <gtest/gtest.h>

#include <cstdint>

#include "drive/RipRange.h"

using rilvane::RipRange;
using rilvane::TrackTable;

namespace {

// Three tracks and the lead-out.
TrackTable threeTracks()
{
    TrackTable t;
    t.count = 3;
    t.slot(1) = 0;
    t.slot(2) = 1003;
    t.slot(3) = 5000;
    t.slot(4) = 9000;
    t.slot(5) = 777777;  // stale, beyond the lead-out
    return t;
}

}  // namespace

TEST(RipRange, TrackRunsToTheNextTrackOrTheLeadOut)
{
    const TrackTable t = threeTracks();
    auto first = RipRange::forTrack(t, 1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->firstSector, 0);
    EXPECT_EQ(first->endSector, 1003);

    auto last = RipRange::forTrack(t, 3);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->firstSector, 5000);
    EXPECT_EQ(last->endSector, 9000);
}

TEST(RipRange, NumbersOutsideTheTableAreRefused)
{
    const TrackTable t = threeTracks();
    EXPECT_FALSE(RipRange::forTrack(t, 4));
    EXPECT_FALSE(RipRange::forTrack(t, 0));
    EXPECT_FALSE(RipRange::forTrack(t, -1));

    TrackTable none = threeTracks();
    none.count = 0;
    EXPECT_FALSE(RipRange::forTrack(none, 1));

    // A table claiming every slot: the last slot has no end sector after it.
    TrackTable full;
    full.count = 256;
    EXPECT_TRUE(RipRange::forTrack(full, 255));
    EXPECT_FALSE(RipRange::forTrack(full, 256));
    EXPECT_FALSE(RipRange::forTrack(full, 257));
}

