#include "audio/Karaoke.h"

#include <gtest/gtest.h>

#include <vector>

namespace rilvane {
namespace {

TEST(Karaoke, CentreRemovedIntoBothChannels)
{
    EXPECT_EQ(karaokeSample(1000, -500), 1000);
    EXPECT_EQ(karaokeSample(-1, 1), -1);  // -4 / 3 truncates toward zero
    EXPECT_EQ(karaokeSample(500, 500), 0);
    EXPECT_EQ(karaokeSample(0, 3), -2);
}

TEST(Karaoke, FullScaleDifferenceSaturatesInsteadOfWrapping)
{
    EXPECT_EQ(karaokeSample(32767, -32768), 32767);
    EXPECT_EQ(karaokeSample(-32768, 32767), -32768);
    // Just inside the range nothing is clipped.
    EXPECT_EQ(karaokeSample(16383, -16384), 21844);
}

TEST(Karaoke, BlockIsTransformedFrameByFrameInPlace)
{
    // Frames: (1000, -500), (-1, 1), (32767, -32768)
    std::vector<uint8_t> block = {0xE8, 0x03, 0x0C, 0xFE, 0xFF, 0xFF, 0x01, 0x00, 0xFF, 0x7F, 0x00, 0x80};
    applyKaraoke(block.data(), 3);
    const std::vector<uint8_t> expected = {0xE8, 0x03, 0xE8, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x7F};
    EXPECT_EQ(block, expected);
}

}  // namespace
}  // namespace rilvane
