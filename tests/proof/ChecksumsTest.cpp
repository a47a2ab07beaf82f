// Track checksums against sums worked out by hand, and the hashes against
// published test vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "proof/Sha256.h"
#include "proof/TrackChecksums.h"

namespace rilvane::proof {
namespace {

std::vector<uint8_t> framesOf(const std::vector<uint32_t>& words)
{
    std::vector<uint8_t> bytes;
    for (const uint32_t w : words)
        for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(w >> (8 * b)));
    return bytes;
}

Checksums sumsOf(const std::vector<uint32_t>& words, bool first, bool last)
{
    TrackChecksums sums(static_cast<int64_t>(words.size()), first, last);
    const auto bytes = framesOf(words);
    sums.add(bytes.data(), words.size());
    return sums.result();
}

TEST(TrackChecksums, AccurateRipSumsOfAShortMiddleTrackByHand)
{
    // Frames 1..3: 0x00020001, 0xFFFFFFFF, 0x80000000.
    // v1: 1*0x00020001 + 2*0xFFFFFFFF + 3*0x80000000 (mod 2^32)
    //   = 0x00020001 + 0x1FFFFFFFE + 0x180000000 = 0x38001FFFF -> 0x8001FFFF
    // v2 adds high and low words of each product:
    //   0x00020001 + (0xFFFFFFFE + 0x1) + (0x80000000 + 0x1) -> 0x80020001
    const Checksums s = sumsOf({0x00020001, 0xFFFFFFFF, 0x80000000}, false, false);
    EXPECT_EQ(s.accurateRipV1, 0x8001FFFFu);
    EXPECT_EQ(s.accurateRipV2, 0x80020001u);
}

TEST(TrackChecksums, FirstAndLastTrackLeaveOutTheirEdges)
{
    // Every frame 1: the sums are the sums of the frame numbers counted.
    const int64_t n = 3 * kAccurateRipEdgeFrames;  // 8820 frames
    const std::vector<uint32_t> ones(static_cast<size_t>(n), 1);
    auto sumTo = [](int64_t k) { return static_cast<uint32_t>(k * (k + 1) / 2); };
    struct Case {
        bool first, last;
        uint32_t expected;
    } cases[] = {
        {false, false, sumTo(n)},                                      // 1..8820
        {true, false, sumTo(n) - sumTo(2939)},                         // 2940..8820
        {false, true, sumTo(n - 2940)},                                // 1..5880
        {true, true, sumTo(n - 2940) - sumTo(2939)},                   // 2940..5880
    };
    for (const Case& c : cases) {
        const Checksums s = sumsOf(ones, c.first, c.last);
        EXPECT_EQ(s.accurateRipV1, c.expected) << c.first << c.last;
        EXPECT_EQ(s.accurateRipV2, c.expected) << c.first << c.last;  // no product reaches 2^32
    }
}

TEST(TrackChecksums, PiecesGiveTheSameSumsAsOneRun)
{
    std::vector<uint32_t> words;
    uint32_t x = 12345;
    for (int i = 0; i < 7000; ++i) words.push_back(x = x * 1103515245u + 12345u);
    const Checksums whole = sumsOf(words, true, true);
    TrackChecksums pieces(7000, true, true);
    const auto bytes = framesOf(words);
    for (size_t at = 0; at < 7000; at += 999) pieces.add(bytes.data() + 4 * at, std::min<size_t>(999, 7000 - at));
    const Checksums s = pieces.result();
    EXPECT_EQ(s.accurateRipV1, whole.accurateRipV1);
    EXPECT_EQ(s.accurateRipV2, whole.accurateRipV2);
    EXPECT_EQ(s.crc, whole.crc);
    EXPECT_EQ(s.crcWithoutSilence, whole.crcWithoutSilence);
    EXPECT_EQ(s.crc, crc32(0, bytes.data(), bytes.size()));
}

TEST(TrackChecksums, CrcWithoutSilenceLeavesOutEveryZeroSample)
{
    EXPECT_EQ(crc32(0, reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);  // the CRC-32 check value
    // Frames (left, right): (0, 0x1234), (0x5678, 0), (0, 0): only 34 12 78 56 remain.
    const Checksums s = sumsOf({0x12340000, 0x00005678, 0}, false, false);
    const uint8_t kept[] = {0x34, 0x12, 0x78, 0x56};
    EXPECT_EQ(s.crcWithoutSilence, crc32(0, kept, 4));
    const auto all = framesOf({0x12340000, 0x00005678, 0});
    EXPECT_EQ(s.crc, crc32(0, all.data(), all.size()));
    EXPECT_EQ(sumsOf({0, 0}, false, false).crcWithoutSilence, 0u);  // nothing left: the CRC of no bytes
}

TEST(Sha256, PublishedVectors)
{
    auto digest = [](const std::string& text) {
        Sha256 h;
        h.add(text);
        return h.hexDigest();
    };
    EXPECT_EQ(digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    Sha256 million;
    const std::string a(1000, 'a');
    for (int i = 0; i < 1000; ++i) million.add(a);
    EXPECT_EQ(million.hexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace rilvane::proof
