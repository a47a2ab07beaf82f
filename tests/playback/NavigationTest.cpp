#include "playback/Navigation.h"

#include <gtest/gtest.h>

#include <limits>

namespace rilvane {
namespace {

TrackTable startupTable()
{
    TrackTable t;
    t.presetStartup();
    return t;
}

// Three tracks at 0, 20000, 40000, lead-out at 60000.
TrackTable threeTracks()
{
    TrackTable t;
    t.slot(1) = 0;
    t.slot(2) = 20000;
    t.slot(3) = 40000;
    t.slot(4) = 60000;
    t.count = 3;
    return t;
}

TEST(Navigation, ForwardAndRewindFromTheStartupState)
{
    const TrackTable t = startupTable();
    EXPECT_EQ(forwardTarget(0), 1500);
    EXPECT_EQ(rewindTarget(0, t), 500);      // below 0 -> 0 -> start of track 1
    EXPECT_EQ(rewindTarget(1500, t), 500);   // 0 is before track 1
    EXPECT_EQ(rewindTarget(3000, t), 1500);
    EXPECT_EQ(forwardTarget(std::numeric_limits<int32_t>::max() - 10), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(rewindTarget(std::numeric_limits<int32_t>::min(), t), 500);
}

TEST(Navigation, LastTrackGoesToTrackStartOrPreviousTrackNearAStart)
{
    const TrackTable t = threeTracks();
    EXPECT_EQ(lastTrackTarget(25000, 1, t), 20000);  // well inside track 2
    EXPECT_EQ(lastTrackTarget(20224, 1, t), 0);      // less than 3 s into track 2
    EXPECT_EQ(lastTrackTarget(20225, 1, t), 20000);  // exactly 3 s in
    EXPECT_EQ(lastTrackTarget(100, 7, t), 0);        // near track 1 stays on track 1
    EXPECT_EQ(lastTrackTarget(40100, 7, t), 20000);  // just into the last track
}

TEST(Navigation, LastTrackRestartsTheLastTrackButNotBeyondTheLeadOut)
{
    const TrackTable t = threeTracks();
    EXPECT_EQ(lastTrackTarget(50000, 7, t), 40000);
    EXPECT_EQ(lastTrackTarget(70000, 65000, t), 65000);  // past the lead-out: unchanged
}

TEST(Navigation, LastTrackNeverGoesBelowTrackOne)
{
    const TrackTable t = startupTable();
    EXPECT_EQ(lastTrackTarget(-5000, -7, t), 500);
    EXPECT_EQ(lastTrackTarget(600, 0, t), 500);
}

TEST(Navigation, NextTrack)
{
    const TrackTable t = threeTracks();
    EXPECT_EQ(nextTrackTarget(0, 1, t), 20000);
    EXPECT_EQ(nextTrackTarget(19999, 1, t), 20000);
    EXPECT_EQ(nextTrackTarget(20000, 1, t), 40000);
    EXPECT_EQ(nextTrackTarget(45000, 123, t), 123);  // in the last track: unchanged
    EXPECT_EQ(nextTrackTarget(-50, 123, t), 0);      // before track 1: track 1
}

TEST(Navigation, MalformedCountDoesNotReadOutsideTheTable)
{
    TrackTable t = threeTracks();
    t.count = 100000;
    EXPECT_EQ(nextTrackTarget(std::numeric_limits<int32_t>::max(), 5, t), 5);
    t.count = -4;
    EXPECT_EQ(nextTrackTarget(10, 5, t), 5);
    EXPECT_EQ(lastTrackTarget(10, 5, t), 0);  // only the start of track 1 is searched
}

}  // namespace
}  // namespace rilvane
