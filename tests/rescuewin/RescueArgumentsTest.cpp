// The command line of rilvane-rescue, and the radial scratch of the test
// disc generator that its picture is checked with.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DiscGenerator.h"
#include "DiscSpiral.h"
#include "RescueArguments.h"
#include "vdrive/DefectMap.h"

using namespace rilvane;
using rilvane::rescuewin::RescueArguments;

namespace {

std::optional<RescueArguments> parse(std::vector<std::string> args, std::string* why = nullptr)
{
    std::string error;
    auto result = RescueArguments::parse(args, error);
    if (why) *why = error;
    return result;
}

}  // namespace

TEST(RescueArguments, TakesDriveFolderAndStartAndPassesQtOptionsOver)
{
    const auto a = parse({"--drive", "2", "--start", "-platform", "offscreen", "--style=fusion", "/tmp/rescue"});
    ASSERT_TRUE(a);
    EXPECT_EQ(a->drive, 2);
    EXPECT_TRUE(a->start);
    EXPECT_EQ(a->folder, "/tmp/rescue");
    EXPECT_EQ(parse({"--out", "x", "x"})->folder, "x");
    EXPECT_EQ(parse({"--version", "--bogus"})->action, RescueArguments::Action::Version);
}

TEST(RescueArguments, RefusesWhatMakesNoSense)
{
    std::string why;
    EXPECT_FALSE(parse({"--drive", "-1"}, &why));
    EXPECT_FALSE(parse({"--drive"}, &why));
    EXPECT_FALSE(parse({"--start"}, &why));  // where to?
    EXPECT_NE(why.find("Zielordner"), std::string::npos);
    EXPECT_FALSE(parse({"--out", "a", "b"}, &why));
    EXPECT_FALSE(parse({"a", "b"}, &why));
    EXPECT_FALSE(parse({"--verbose"}, &why));
    EXPECT_NE(why.find("--verbose"), std::string::npos);
}

TEST(MakeDisc, ARadialScratchFailsOneAudioSectorOnEveryTurnAtItsAngle)
{
    const auto dir = std::filesystem::temp_directory_path() / ("rescuewin-scratch-" + std::to_string(::getpid()));
    makedisc::DiscPlan plan;
    plan.out = (dir / "disc").string();
    plan.lengths = {3000, 9000, 2000};
    plan.dataTrack = makedisc::DataTrack::Last;
    plan.scratchDegrees = 300;
    plan.scratchDelayMs = 25;
    makedisc::GeneratedDisc disc;
    std::string error;
    ASSERT_TRUE(makedisc::writeDisc(plan, disc, error)) << error;
    const auto map = vdrive::DefectMap::load(disc.defectsPath, error);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(map) << error;

    const double angle = 300.0 / 360.0 * tools::DiscSpiral::kTwoPi;
    int64_t previousTurn = -1;
    for (const vdrive::DefectRange& range : map->ranges()) {
        EXPECT_EQ(range.first, range.last);
        EXPECT_LT(range.first, 12000) << "in the data track";
        EXPECT_EQ(range.action.delayMs, 25u);
        EXPECT_EQ(range.action.sense.key, 3);
        // The sector's stretch of track holds the angle.
        const double t0 = tools::DiscSpiral::turns(static_cast<double>(range.first));
        const double t1 = tools::DiscSpiral::turns(static_cast<double>(range.first + 1));
        const auto turn = static_cast<int64_t>(std::floor(t1 - angle / tools::DiscSpiral::kTwoPi));
        EXPECT_LE(t0, static_cast<double>(turn) + angle / tools::DiscSpiral::kTwoPi);
        if (previousTurn >= 0) {
            EXPECT_EQ(turn, previousTurn + 1) << "one a turn, none left out";
        }
        previousTurn = turn;
    }
    // About ten sectors a turn near the centre.
    EXPECT_GT(map->ranges().size(), 12000u / 11);
    EXPECT_LT(map->ranges().size(), 12000u / 9);
}
