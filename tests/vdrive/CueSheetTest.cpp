#include "TempDir.h"

#include "vdrive/CueSheet.h"
#include "vdrive/DiscImage.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace rilvane::vdrive;

namespace {

CueSheet parseAndLayout(const std::string& text, const std::vector<int64_t>& sizes)
{
    std::string error;
    auto sheet = CueSheet::parse(text, "disc.cue", error);
    EXPECT_TRUE(sheet) << error;
    if (!sheet)
        return {};
    EXPECT_TRUE(sheet->layout(sizes, error)) << error;
    return *sheet;
}

}  // namespace

TEST(CueSheet, SeveralFilesPregapIndexAndFirstTrackAboveOne)
{
    const CueSheet sheet = parseAndLayout("REM GENRE Test\r\n"
                                          "PERFORMER \"Some One\"\r\n"
                                          "TITLE \"A disc\"\r\n"
                                          "CATALOG 0000000000000\r\n"
                                          "FILE \"first part.bin\" BINARY\r\n"
                                          "  TRACK 02 AUDIO\r\n"
                                          "    FLAGS DCP PRE\r\n"
                                          "    ISRC ABCDE1234567\r\n"
                                          "    INDEX 01 00:00:00\r\n"
                                          "  TRACK 03 AUDIO\r\n"
                                          "    TITLE \"Three\"\r\n"
                                          "    INDEX 00 00:10:00\r\n"
                                          "    INDEX 01 00:12:00\r\n"
                                          "    INDEX 02 00:13:00\r\n"
                                          "FILE \"b.bin\" BINARY\r\n"
                                          "  TRACK 04 MODE1/2352\r\n"
                                          "    INDEX 01 00:00:00\r\n",
                                          {1500, 600});
    ASSERT_EQ(sheet.tracks().size(), 3u);
    ASSERT_EQ(sheet.files().size(), 2u);
    EXPECT_EQ(sheet.files()[0].name, "first part.bin");
    EXPECT_EQ(sheet.files()[1].firstSector, 1500);

    const auto& t = sheet.tracks();
    EXPECT_EQ(t[0].number, 2);
    EXPECT_EQ(t[0].flags, 0x3);
    EXPECT_EQ(t[0].start, 0);
    EXPECT_EQ(t[1].number, 3);
    EXPECT_EQ(t[1].start, 900);
    EXPECT_EQ(t[1].regionStart, 750);
    EXPECT_EQ(t[2].number, 4);
    EXPECT_EQ(t[2].mode, TrackMode::Mode1);
    EXPECT_EQ(t[2].start, 1500);
    EXPECT_EQ(sheet.leadOut(), 2100);

    // The pregap (INDEX 00 to INDEX 01) belongs to the track it leads into.
    EXPECT_EQ(sheet.trackOf(749).number, 2);
    EXPECT_EQ(sheet.trackOf(750).number, 3);
    EXPECT_EQ(sheet.trackOf(1499).number, 3);
    EXPECT_EQ(sheet.trackOf(1500).number, 4);
}

TEST(CueSheet, PregapAndPostgapInsertSilence)
{
    const CueSheet sheet = parseAndLayout("FILE \"a.bin\" BINARY\n"
                                          "TRACK 01 AUDIO\n"
                                          "INDEX 01 00:00:00\n"
                                          "POSTGAP 00:01:00\n"
                                          "TRACK 02 AUDIO\n"
                                          "PREGAP 00:02:00\n"
                                          "INDEX 01 00:10:00\n",
                                          {1500});
    EXPECT_EQ(sheet.tracks()[0].start, 0);
    EXPECT_EQ(sheet.tracks()[1].start, 750 + 75 + 150);
    EXPECT_EQ(sheet.tracks()[1].regionStart, 750 + 75);
    EXPECT_EQ(sheet.leadOut(), 1500 + 75 + 150);

    const auto& s = sheet.segments();
    ASSERT_EQ(s.size(), 4u);
    EXPECT_FALSE(s[0].silent);
    EXPECT_EQ(s[0].count, 750);
    EXPECT_TRUE(s[1].silent);
    EXPECT_EQ(s[1].firstSector, 750);
    EXPECT_EQ(s[1].count, 75);
    EXPECT_TRUE(s[2].silent);
    EXPECT_EQ(s[2].count, 150);
    EXPECT_FALSE(s[3].silent);
    EXPECT_EQ(s[3].firstSector, 975);
    EXPECT_EQ(s[3].fileSector, 750);
}

TEST(CueSheet, BadLinesAreReportedWithFileAndLine)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"TRACK 01 AUDIO\n", "disc.cue:1: TRACK before any FILE"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", "disc.cue:3: bad time '00:60:00'"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", "disc.cue:3: bad time"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 MODE2/2352\n", "disc.cue:2: unsupported track mode 'MODE2/2352'"},
        {"FILE \"a.bin\" MP3\n", "disc.cue:1: unsupported file type 'MP3'"},
        {"FILE \"a.bin\" BINARY\nTRACK 00 AUDIO\n", "disc.cue:2: bad track number '00'"},
        {"FILE \"a.bin\" BINARY\nTRACK 100 AUDIO\n", "disc.cue:2: bad track number '100'"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\n",
         "disc.cue:4: track 03 does not follow track 01"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\n",
         "disc.cue:2: track 01 has no INDEX 01"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\n", "disc.cue:2: track 01 has no INDEX 01"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 02 00:00:00\n", "disc.cue:3: the first index"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 01 00:01:00\n",
         "disc.cue:4: INDEX 01 does not follow INDEX 01"},
        {"FILE \"a.bin BINARY\n", "disc.cue:1: unterminated quote"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nBOGUS 1\n", "disc.cue:3: unknown command 'BOGUS'"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nFLAGS LOUD\n", "disc.cue:3: unknown flag 'LOUD'"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nPREGAP 00:02:00\n",
         "disc.cue:4: PREGAP must come before"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 999:59:74\n", "disc.cue:3: time '999:59:74' lies beyond"},
        {"CATALOG 123456789012\n", "disc.cue:1: CATALOG needs 13 digits"},
        {"CATALOG 12345678901X3\n", "disc.cue:1: CATALOG needs 13 digits"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nCATALOG 1234567890123\n", "disc.cue:3: CATALOG belongs before"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nISRC DEXY1250000\n", "disc.cue:3: ISRC needs 12 characters"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nISRC DEXY1A500001\n", "disc.cue:3: ISRC needs 12 characters"},
        {"FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nISRC dexy12500001\n", "disc.cue:3: ISRC needs 12 characters"},
        {"ISRC DEXY12500001\n", "disc.cue:1: ISRC outside a TRACK"},
        {"TITLE\n", "disc.cue:1: TITLE needs a quoted text"},
        {"PERFORMER \"tab\there\"\n", "disc.cue:1: PERFORMER holds a control character"},
        {"REM nothing\n\n", "disc.cue:2: no TRACK in the sheet"},
        {"", "disc.cue:1: no TRACK in the sheet"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(CueSheet::parse(c.text, "disc.cue", error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << "got: " << error << "\nfor:\n" << c.text;
    }
}

// Sound before track 1's INDEX 01 is its INDEX 00 (a hidden track), INDEX
// 00 of later tracks their pregaps, INDEX 02 and on further points; the
// disc's facts are kept as written.
TEST(CueSheet, HiddenTrackIndexesAndFacts)
{
    std::string error;
    std::string tooLong(kMaxCdTextLength + 1, 'x');
    EXPECT_FALSE(CueSheet::parse("TITLE \"" + tooLong + "\"\n", "disc.cue", error));
    EXPECT_EQ(error.rfind("disc.cue:1: TITLE is longer than", 0), 0u) << error;
    // A hundred long titles do not fit the 256 packs of CD-Text.
    std::string crowded = "FILE \"a.bin\" BINARY\n";
    for (int t = 1; t <= 30; ++t)
        crowded += "TRACK " + std::string(t < 10 ? "0" : "") + std::to_string(t) + " AUDIO\nTITLE \"" +
                   std::string(kMaxCdTextLength, 'a') + "\"\nINDEX 01 00:" + std::to_string(t / 10) +
                   std::to_string(t % 10) + ":00\n";
    EXPECT_FALSE(CueSheet::parse(crowded, "disc.cue", error));
    EXPECT_NE(error.find("CD-Text"), std::string::npos) << error;

    auto sheet = CueSheet::parse("CATALOG 4006381333931\nTITLE Disc  One\nFILE \"a.bin\" BINARY\n"
                                 "TRACK 01 AUDIO\nISRC DEXY12500001\nPERFORMER \"One\"\nINDEX 01 00:03:00\n"
                                 "INDEX 02 00:04:00\nTRACK 02 AUDIO\nINDEX 00 00:08:00\nINDEX 01 00:09:00\n",
                                 "disc.cue", error);
    ASSERT_TRUE(sheet) << error;
    ASSERT_TRUE(sheet->layout({1500}, error)) << error;
    EXPECT_EQ(sheet->catalog(), "4006381333931");
    EXPECT_EQ(sheet->text().title, "Disc One");  // unquoted words, as written elsewhere
    const CueTrack& one = sheet->tracks()[0];
    EXPECT_EQ(one.isrc, "DEXY12500001");
    EXPECT_EQ(one.text.performer, "One");
    EXPECT_EQ(one.start, 225);
    EXPECT_EQ(one.regionStart, 0);
    EXPECT_EQ(sheet->indexOf(one, 0), 0);  // the hidden track
    EXPECT_EQ(sheet->indexOf(one, 224), 0);
    EXPECT_EQ(sheet->indexOf(one, 225), 1);
    EXPECT_EQ(sheet->indexOf(one, 300), 2);
    EXPECT_EQ(sheet->indexOf(one, 599), 2);
    EXPECT_EQ(sheet->trackOf(600).number, 2);
    EXPECT_EQ(sheet->indexOf(sheet->tracks()[1], 600), 0);
    EXPECT_EQ(sheet->indexOf(sheet->tracks()[1], 675), 1);
    EXPECT_TRUE(sheet->hasCdText());
}

TEST(CueSheet, LayoutChecksIndexesAgainstTheFiles)
{
    std::string error;
    auto beyond = CueSheet::parse("FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                  "TRACK 02 AUDIO\nINDEX 01 00:20:00\n",
                                  "disc.cue", error);
    ASSERT_TRUE(beyond) << error;
    EXPECT_FALSE(beyond->layout({1500}, error));
    EXPECT_EQ(error, "disc.cue:5: INDEX 01 lies beyond the end of 'a.bin' (1500 sectors)");

    auto backwards = CueSheet::parse("FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:10:00\n"
                                     "TRACK 02 AUDIO\nINDEX 01 00:05:00\n",
                                     "disc.cue", error);
    ASSERT_TRUE(backwards) << error;
    EXPECT_FALSE(backwards->layout({1500}, error));
    EXPECT_EQ(error.rfind("disc.cue:5: INDEX 01 does not come after", 0), 0u) << error;

    auto huge = CueSheet::parse("FILE \"a.bin\" BINARY\nFILE \"b.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
                                "disc.cue", error);
    ASSERT_TRUE(huge) << error;
    EXPECT_FALSE(huge->layout({kMaxDiscSectors, 1}, error));
    EXPECT_EQ(error.rfind("disc.cue:2: the disc would be longer", 0), 0u) << error;
}

TEST(DiscImageFiles, MissingOrMisSizedFilesGiveTheFileLine)
{
    TempDir dir;
    std::string error;

    EXPECT_FALSE(VirtualDrive::load(dir.file("absent.cue"), "", error));
    EXPECT_NE(error.find("absent.cue: cannot open"), std::string::npos) << error;

    const std::string missing =
        dir.write("missing.cue", "REM\nFILE \"nothere.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_FALSE(VirtualDrive::load(missing, "", error));
    EXPECT_EQ(error.rfind(missing + ":2: '", 0), 0u) << error;
    EXPECT_NE(error.find("nothere.bin': No such file"), std::string::npos) << error;

    dir.write("odd.bin", std::string(2 * 2352 + 1, '\0'));
    const std::string odd = dir.write("odd.cue", "FILE \"odd.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_FALSE(VirtualDrive::load(odd, "", error));
    EXPECT_EQ(error.rfind(odd + ":1: ", 0), 0u) << error;
    EXPECT_NE(error.find("4705 bytes is not a whole number of 2352-byte sectors"), std::string::npos) << error;

    dir.write("empty.bin", "");
    const std::string empty = dir.write("empty.cue", "FILE \"empty.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_FALSE(VirtualDrive::load(empty, "", error));
    EXPECT_EQ(error.rfind(empty + ":3: INDEX 01 lies beyond", 0), 0u) << error;

    EXPECT_FALSE(VirtualDrive::load(dir.path().string(), "", error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
}

namespace {

std::string waveFile(const std::vector<uint8_t>& samples, uint16_t channels = 2)
{
    auto le32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string w = "RIFF" + le32(uint32_t(36 + samples.size())) + "WAVE";
    w += "fmt " + le32(16) + le16(1) + le16(channels) + le32(44100) + le32(44100 * 4) + le16(4) + le16(16);
    w += "data" + le32(uint32_t(samples.size()));
    w.append(samples.begin(), samples.end());
    return w;
}

}  // namespace

TEST(DiscImageFiles, WaveFilesFollowBinFilesAndArePaddedToWholeSectors)
{
    TempDir dir;
    std::vector<uint8_t> bin(2352, 0x11);
    dir.write("a.bin", std::string(bin.begin(), bin.end()));
    std::vector<uint8_t> sound(2352 + 100);
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = static_cast<uint8_t>(i * 7);
    dir.write("b.wav", waveFile(sound));
    const std::string cue = dir.write("mixed.cue", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                                   "FILE \"b.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
    std::string error;
    auto image = DiscImage::open(cue, error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->leadOut(), 3);
    EXPECT_EQ(image->sheet().tracks()[1].start, 1);

    std::vector<uint8_t> sector(2352);
    ASSERT_TRUE(image->readSectors(1, 1, sector.data()));
    EXPECT_EQ(0, std::memcmp(sector.data(), sound.data(), 2352));
    ASSERT_TRUE(image->readSectors(2, 1, sector.data()));
    EXPECT_EQ(0, std::memcmp(sector.data(), sound.data() + 2352, 100));
    EXPECT_EQ(std::vector<uint8_t>(sector.begin() + 100, sector.end()), std::vector<uint8_t>(2252, 0));
    // One run over both files gives the same bytes as sector by sector.
    std::vector<uint8_t> run(3 * 2352, 0xEE);
    ASSERT_TRUE(image->readSectors(0, 3, run.data()));
    EXPECT_EQ(std::vector<uint8_t>(run.begin(), run.begin() + 2352), bin);
    EXPECT_EQ(0, std::memcmp(run.data() + 2352, sound.data(), sound.size()));
    EXPECT_EQ(std::vector<uint8_t>(run.begin() + 2352 + 2452, run.end()), std::vector<uint8_t>(2252, 0));
    EXPECT_FALSE(image->readSectors(1, 3, run.data()));

    dir.write("mono.wav", waveFile(sound, 1));
    const std::string monoCue = dir.write("mono.cue", "FILE \"mono.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_FALSE(DiscImage::open(monoCue, error));
    EXPECT_NE(error.find(":1: "), std::string::npos) << error;
    EXPECT_NE(error.find("2 channels"), std::string::npos) << error;
}

TEST(DiscImageFiles, ARunReadsAcrossInsertedSilenceAsSectorBySector)
{
    TempDir dir;
    std::string bin;
    for (char fill : {'\x11', '\x22', '\x33'})
        bin.append(2352, fill);
    dir.write("a.bin", bin);
    const std::string cue = dir.write("gap.cue", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                                 "TRACK 02 AUDIO\nPREGAP 00:00:02\nINDEX 01 00:00:01\n");
    std::string error;
    auto image = DiscImage::open(cue, error);
    ASSERT_TRUE(image) << error;
    ASSERT_EQ(image->leadOut(), 5);

    std::vector<uint8_t> run(5 * 2352, 0xEE);
    ASSERT_TRUE(image->readSectors(0, 5, run.data()));
    std::vector<uint8_t> expected(5 * 2352, 0);
    std::fill_n(expected.begin(), 2352, 0x11);
    std::fill_n(expected.begin() + 3 * 2352, 2352, 0x22);
    std::fill_n(expected.begin() + 4 * 2352, 2352, 0x33);
    EXPECT_EQ(run, expected);
    for (int64_t s = 0; s < 5; ++s) {
        std::vector<uint8_t> one(2352, 0xEE);
        ASSERT_TRUE(image->readSectors(s, 1, one.data()));
        EXPECT_TRUE(std::equal(one.begin(), one.end(), expected.begin() + s * 2352)) << s;
    }
}
