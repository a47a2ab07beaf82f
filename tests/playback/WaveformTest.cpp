#include "playback/Waveform.h"

#include <gtest/gtest.h>

#include <vector>

namespace rilvane {
namespace {

std::vector<uint8_t> stagingWithLeft(int16_t (*left)(int32_t frame))
{
    std::vector<uint8_t> s(117600, 0);
    for (int32_t f = 0; f < kWaveformFrames; ++f) {
        const auto v = static_cast<uint16_t>(left(f));
        s[4 * f] = static_cast<uint8_t>(v);
        s[4 * f + 1] = static_cast<uint8_t>(v >> 8);
        s[4 * f + 2] = 0x55;  // the right channel is never shown
        s[4 * f + 3] = 0x55;
    }
    return s;
}

TEST(Waveform, ColumnsOfA385WideViewSpanAllFrames)
{
    EXPECT_EQ(waveformFrame(0, 385), 0);
    EXPECT_EQ(waveformFrame(1, 385), 76);
    EXPECT_EQ(waveformFrame(2, 385), 153);
    EXPECT_EQ(waveformFrame(384, 385), 29399);
    EXPECT_EQ(waveformFrame(0, 1), 0);  // one column: no division by zero
}

TEST(Waveform, SamplesMapOntoTheViewHeight)
{
    auto s = stagingWithLeft([](int32_t f) -> int16_t {
        return f == 0 ? -32768 : (f == 29399 ? 32767 : 0);
    });
    const auto pts = waveformPoints(s.data(), 385, 101);
    ASSERT_EQ(pts.size(), 385u);
    EXPECT_EQ(pts.front(), QPoint(0, 0));     // -32768 at the top edge
    EXPECT_EQ(pts[1], QPoint(1, 50));         // silence on the middle line
    EXPECT_EQ(pts.back(), QPoint(384, 99));   // positive below the middle: 50 + 32767*50/32768
    EXPECT_TRUE(waveformPoints(s.data(), 0, 100).empty());
    EXPECT_EQ(waveformPoints(s.data(), 1, 100).size(), 1u);
}

}  // namespace
}  // namespace rilvane
