#include "app/ProgressBar.h"

#include <gtest/gtest.h>

#include <limits>

using rilvane::PanelRect;
using rilvane::progressBarRight;

TEST(ProgressBarWidth, ProportionalWithTruncationTowardZero)
{
    const PanelRect panel{253, 3, 605, 18};  // 352 wide
    EXPECT_EQ(progressBarRight(panel, 0), 253);
    EXPECT_EQ(progressBarRight(panel, 1), 253 + 3);  // 3.52
    EXPECT_EQ(progressBarRight(panel, 50), 253 + 176);
    EXPECT_EQ(progressBarRight(panel, 100), 605);
    EXPECT_EQ(progressBarRight(panel, 150), 253 + 528);
    EXPECT_EQ(progressBarRight(panel, -1), 253 - 3);  // -3.52 toward zero
    EXPECT_EQ(progressBarRight(panel, -100), 253 - 352);
}

TEST(ProgressBarWidth, ProductIsFormedFirstIn32Bits)
{
    const PanelRect panel{0, 0, 300, 19};
    // 300 * 10000000 = 3000000000 wraps to -1294967296 in 32 bits.
    EXPECT_EQ(progressBarRight(panel, 10000000), -1294967296 / 100);
    EXPECT_EQ(progressBarRight(PanelRect{}, std::numeric_limits<int32_t>::max()), 0);
}
