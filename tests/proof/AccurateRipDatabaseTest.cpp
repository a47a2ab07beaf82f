// The AccurateRip database's file of a disc, built here byte by byte.
#include <gtest/gtest.h>

#include "proof/AccurateRipDatabase.h"

namespace rilvane::proof {
namespace {

void put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One submission for a disc of `sums.size()` tracks: confidence and checksum each.
void submission(std::vector<uint8_t>& b, const DiscIds& ids, const std::vector<std::pair<int, uint32_t>>& sums)
{
    b.push_back(static_cast<uint8_t>(sums.size()));
    put32(b, ids.accurateRipId1);
    put32(b, ids.accurateRipId2);
    put32(b, ids.freedbId);
    for (const auto& [confidence, sum] : sums) {
        b.push_back(static_cast<uint8_t>(confidence));
        put32(b, sum);
        put32(b, 0xDEADBEEF);  // the 450th sector's sum, not used
    }
}

TEST(AccurateRipDatabase, MatchesV1OrV2InAnySubmissionWithTheBestConfidence)
{
    DiscIds ids;
    ids.audioTracks = 3;
    ids.accurateRipId1 = 0x00004e16;
    ids.accurateRipId2 = 0x00010596;
    ids.freedbId = 0x16008503;
    std::vector<uint8_t> bytes;
    submission(bytes, ids, {{3, 0x11111111}, {7, 0x22222222}, {2, 0x33333333}});
    submission(bytes, ids, {{12, 0x11111111}, {1, 0x44444444}, {0, 0}});
    std::string error;
    const auto db = AccurateRipDatabase::parse(bytes, error);
    ASSERT_TRUE(db) << error;
    EXPECT_TRUE(db->isFor(ids));

    const AccurateRipMatch a = db->match(1, {0x11111111, 0x99999999, 0, 0});
    EXPECT_EQ(a.result, AccurateRipMatch::Result::Match);
    EXPECT_EQ(a.confidence, 12);
    EXPECT_FALSE(a.version2);
    const AccurateRipMatch b = db->match(2, {0x99999999, 0x44444444, 0, 0});
    EXPECT_EQ(b.result, AccurateRipMatch::Result::Match);
    EXPECT_EQ(b.confidence, 1);
    EXPECT_TRUE(b.version2);
    EXPECT_EQ(db->match(3, {0x33333334, 0x33333332, 0, 0}).result, AccurateRipMatch::Result::NoMatch);
    EXPECT_EQ(db->match(4, {0x11111111, 0, 0, 0}).result, AccurateRipMatch::Result::NotListed);

    DiscIds other = ids;
    other.freedbId ^= 1;
    EXPECT_FALSE(db->isFor(other));

    for (const size_t cut : {size_t{0}, size_t{5}, size_t{13 + 9 * 3 - 1}, bytes.size() - 1}) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_FALSE(AccurateRipDatabase::parse(part, error)) << cut;
        EXPECT_FALSE(error.empty());
    }
    const std::vector<uint8_t> html = {'<', 'h', 't', 'm', 'l', '>', '4', '0', '4', ' ', 'N', 'o', 't', ' ', 'f'};
    EXPECT_FALSE(AccurateRipDatabase::parse(html, error));  // what a server sends for an unknown disc
}

}  // namespace
}  // namespace rilvane::proof
