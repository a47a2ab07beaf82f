// The CUE sheets read back by the virtual drive's own CUE parser: the
// tracks land where the TOC has them, with their flags and pregaps.
#include <gtest/gtest.h>

#include "proof/CueSheetWriter.h"
#include "vdrive/CueSheet.h"

namespace rilvane::proof {
namespace {

// Track 1 with 33 sectors of pregap, pre-emphasis and copy permitted; track
// 2 plain; track 3 with pre-emphasis; lead-out at 4000.
DiscToc sampleToc()
{
    DiscToc toc;
    toc.tracks = {{1, 33, TrackControl::kPreEmphasis | TrackControl::kCopyPermitted}, {2, 1500, 0},
                  {3, 2800, TrackControl::kPreEmphasis}};
    toc.leadOut = 4000;
    return toc;
}

vdrive::CueSheet parsed(const std::string& text, const std::vector<int64_t>& fileSectors)
{
    std::string error;
    auto sheet = vdrive::CueSheet::parse(text, "test.cue", error);
    EXPECT_TRUE(sheet) << error << "\n" << text;
    if (!sheet) return {};
    EXPECT_TRUE(sheet->layout(fileSectors, error)) << error;
    return *sheet;
}

TEST(CueSheetWriter, TrackFilesGiveBackTheDiscsTrackStartsAndFlags)
{
    const DiscToc toc = sampleToc();
    const DiscIds ids = DiscIds::of(toc);
    const auto text = CueSheetWriter(toc, ids, "rilvane-rip").trackFiles({"01.wav", "02.wav", "03 \xC3\xA4.wav"});
    ASSERT_TRUE(text);
    // Each file holds its track up to the next one: 1467, 1300 and 1200 sectors.
    const vdrive::CueSheet sheet = parsed(*text, {1467, 1300, 1200});
    ASSERT_EQ(sheet.tracks().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sheet.tracks()[i].number, toc.tracks[i].number);
        EXPECT_EQ(sheet.tracks()[i].start, toc.tracks[i].start) << i;
        EXPECT_EQ(sheet.tracks()[i].flags, toc.tracks[i].control) << i;
    }
    EXPECT_EQ(sheet.tracks()[0].pregapSectors, 33);
    EXPECT_EQ(sheet.leadOut(), toc.leadOut);
    EXPECT_NE(text->find("REM ACCURATERIPID " + ids.accurateRipName()), std::string::npos);
    EXPECT_NE(text->find("REM MUSICBRAINZ_DISCID " + ids.musicBrainzId), std::string::npos);
}

TEST(CueSheetWriter, DiscImageHoldsEveryTrackWithTheFirstPregapAsIndex00)
{
    DiscToc toc = sampleToc();
    toc.tracks.push_back({4, 3000, TrackControl::kDataTrack});
    const DiscIds ids = DiscIds::of(toc);
    const auto text = CueSheetWriter(toc, ids, "rilvane-rip").discImage("disc.bin");
    ASSERT_TRUE(text);
    const vdrive::CueSheet sheet = parsed(*text, {4000});
    ASSERT_EQ(sheet.tracks().size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sheet.tracks()[i].start, toc.tracks[i].start) << i;
    EXPECT_EQ(sheet.tracks()[0].regionStart, 0);
    EXPECT_EQ(sheet.tracks()[3].mode, vdrive::TrackMode::Mode1);
    EXPECT_EQ(sheet.tracks()[0].flags, toc.tracks[0].control);
}

TEST(CueSheetWriter, RefusesNamesThatCannotStandInASheet)
{
    const DiscToc toc = sampleToc();
    const DiscIds ids = DiscIds::of(toc);
    const CueSheetWriter writer(toc, ids, "rilvane-rip");
    EXPECT_FALSE(writer.trackFiles({"a.wav", "b\".wav", "c.wav"}));
    EXPECT_FALSE(writer.trackFiles({"a.wav", "b\n.wav", "c.wav"}));
    EXPECT_FALSE(writer.trackFiles({"a.wav", "b.wav"}));  // one file short
    EXPECT_FALSE(writer.discImage(""));
    EXPECT_EQ(CueSheetWriter::time(75 * 60 * 79 + 75 * 3 + 74), "79:03:74");
}

}  // namespace
}  // namespace rilvane::proof
