// Disc ids against published ones: libdiscid's own test discs, libcddb's
// FreeDB example, and an enhanced and a mixed-mode CD whose AccurateRip
// ids the AccurateRip database itself uses.
#include <gtest/gtest.h>

#include <vector>

#include "proof/DiscIds.h"

namespace rilvane::proof {
namespace {

// A TOC from start addresses counted from the start of the disc (as
// libdiscid and the databases list them: sector 0 is at 150).
DiscToc tocFrom(const std::vector<int32_t>& absoluteStarts, int32_t absoluteLeadOut, int firstNumber = 1,
                std::vector<size_t> dataTracks = {})
{
    DiscToc toc;
    for (size_t i = 0; i < absoluteStarts.size(); ++i) {
        TocTrack t;
        t.number = firstNumber + static_cast<int>(i);
        t.start = absoluteStarts[i] - 150;
        for (const size_t d : dataTracks)
            if (d == i) t.control = TrackControl::kDataTrack;
        toc.tracks.push_back(t);
    }
    toc.leadOut = absoluteLeadOut - 150;
    return toc;
}

TEST(DiscIds, LibdiscidTestDiscs)
{
    const DiscIds a = DiscIds::of(tocFrom({150, 9700, 25887, 39297, 53795, 63735, 77517, 94877, 107270, 123552,
                                           135522, 148422, 161197, 174790, 192022, 205545, 218010, 228700, 239590,
                                           255470, 266932, 288750},
                                          303602));
    EXPECT_EQ(a.musicBrainzId, "xUp1F2NkfP8s8jaeFn_Av3jNEI4-");
    EXPECT_EQ(hex8(a.freedbId), "370fce16");
    EXPECT_NE(a.musicBrainzUrl.find("xUp1F2NkfP8s8jaeFn_Av3jNEI4-"), std::string::npos);

    const DiscIds b = DiscIds::of(tocFrom({150, 17510, 33275, 45910, 57805, 78310, 94650, 109580, 132010, 149160,
                                           165115, 177710, 203325, 215555, 235590},
                                          258725));
    EXPECT_EQ(b.musicBrainzId, "TqvKjMu7dMliSfmVEBtrL7sBSno-");
    EXPECT_EQ(hex8(b.freedbId), "b60d770f");
}

TEST(DiscIds, FreedbIdOfLibcddbsExample)
{
    // 11 tracks, 3826 seconds from the start of the disc to the lead-out.
    const DiscIds ids = DiscIds::of(
        tocFrom({150, 28615, 51027, 75835, 102620, 121460, 148977, 175697, 204322, 231082, 268002}, 3826 * 75));
    EXPECT_EQ(hex8(ids.freedbId), "920ef00b");
}

TEST(DiscIds, EnhancedAndMixedModeDiscsCountOnlyAudioForAccurateRip)
{
    // Ten audio tracks and a data track in a second session.
    const DiscIds enhanced = DiscIds::of(tocFrom({150, 12767, 40487, 63225, 93410, 118115, 151865, 184340, 215260,
                                                  247455, 281735},
                                                 333801, 1, {10}));
    EXPECT_EQ(enhanced.accurateRipName(), "010-00164419-00b9f6e2-9e11600b");
    EXPECT_EQ(enhanced.accurateRipUrl(),
              "http://www.accuraterip.com/accuraterip/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin");
    // MusicBrainz leaves the data track out and ends the audio 11400 sectors before it.
    EXPECT_EQ(enhanced.musicBrainzId, "9AQWqQ0eCCwktwPPrIUIYkUw2Uo-");

    // A data track first, 28 audio tracks after it.
    const DiscIds mixed = DiscIds::of(tocFrom({150, 66728, 76502, 85963, 93760, 104048, 116066, 124743, 134206, 142916,
                                               151852, 160720, 169425, 178731, 188459, 196711, 206354, 214845, 223686,
                                               225746, 226384, 232668, 239447, 239931, 244989, 254264, 260066, 261222,
                                               261674},
                                              261976, 1, {0}));
    EXPECT_EQ(mixed.accurateRipName(), "028-00517a54-05a845d2-af0da31d");
}

}  // namespace
}  // namespace rilvane::proof
