// The checks on what a user types: the file name pattern never reaches a
// printf, and the track list means what it says.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "rescue/FileNamePattern.h"
#include "rescue/RescueReport.h"
#include "RipToolArguments.h"

namespace rilvane::riptool {

using namespace rilvane::rescue;
namespace {

TEST(FileNamePatternTest, FillsInTheTrackNumberOrRefuses)
{
    struct Case {
        const char* pattern;
        const char* track7;  // nullptr: refused
    };
    const Case cases[] = {
        {"track%02d.wav", "track07.wav"}, {"%d", "7"},           {"%3d-x", "  7-x"},
        {"100%%-%d.wav", "100%-7.wav"},   {"t%09d", "t000000007"}, {"no-number.wav", nullptr},
        {"%d-%d.wav", nullptr},           {"%s.wav", nullptr},    {"%n%d", nullptr},
        {"%x", nullptr},                  {"%-2d", nullptr},      {"%10d", nullptr},
        {"%00d", nullptr},                {"%", nullptr},         {"%02", nullptr},
        {"../%d.wav", nullptr},           {"a\nb%d", nullptr},    {"%d%", nullptr},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto pattern = FileNamePattern::parse(c.pattern, error);
        if (c.track7) {
            ASSERT_TRUE(pattern) << c.pattern << ": " << error;
            EXPECT_EQ(pattern->fileName(7), c.track7) << c.pattern;
        } else {
            EXPECT_FALSE(pattern) << c.pattern;
            EXPECT_FALSE(error.empty()) << c.pattern;
        }
    }
    std::string error;
    EXPECT_EQ(FileNamePattern::parse("%02d.wav", error)->fileName(123), "123.wav");
}

TEST(FileNamePatternTest, TitlesFromTheDiscCannotLeaveTheFolder)
{
    std::string error;
    const auto pattern = FileNamePattern::parse("%02d %a - %t.flac", error);
    ASSERT_TRUE(pattern) << error;
    EXPECT_EQ(pattern->fileName(3, "AC/DC\n", "Band"), "03 Band - AC-DC.flac");
    EXPECT_EQ(pattern->fileName(3, "../../etc", ""), "03  - -..-etc.flac");
    EXPECT_EQ(pattern->fileName(4, "", ""), "04  - Track 04.flac");
    // A long title is cut, never inside a character.
    std::string longTitle = "x";
    for (int i = 0; i < 80; ++i) longTitle += "\xc3\xa4";  // ä
    const std::string name = pattern->fileName(1, longTitle, "");
    EXPECT_LE(name.size(), 120u);
    EXPECT_EQ(name.substr(name.size() - 7), "\xc3\xa4.flac");
}

TEST(TrackListTest, ReadsNumbersAndRanges)
{
    EXPECT_EQ(parseTrackList("1,3,5-7"), (std::set<int>{1, 3, 5, 6, 7}));
    EXPECT_EQ(parseTrackList("all"), std::set<int>{});
    EXPECT_EQ(parseTrackList("4,2-3,2"), (std::set<int>{2, 3, 4}));
    EXPECT_EQ(parseTrackList("99"), std::set<int>{99});
    for (const char* bad : {"", "0", "100", "1,", ",1", "1,,2", "3-1", "1-", "-2", "a", "1 ,2", "1-2-3", "+1", "ALL"})
        EXPECT_FALSE(parseTrackList(bad)) << bad;
}

TEST(RipToolArgumentsTest, OptionsWithAndWithoutEquals)
{
    std::string error;
    const auto a = RipToolArguments::parse(
        {"--drive=2", "--tracks", "2-3", "--out", "/x", "--name=%d.wav", "--fill-silence", "--scan", "--force"}, error);
    ASSERT_TRUE(a) << error;
    EXPECT_EQ(a->drive, 2);
    EXPECT_EQ(a->tracks, (std::set<int>{2, 3}));
    EXPECT_EQ(a->outDir, "/x");
    EXPECT_EQ(a->name.fileName(4), "4.wav");
    EXPECT_TRUE(a->fillSilence && a->scan && a->force);
    EXPECT_FALSE(a->karaoke);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--drive"}, {"--drive", "32"}, {"--drive", "-1"}, {"--tracks", "x"},
                                               {"--scan=1"}, {"--out", ""}, {"track.wav"}, {"--report"},
                                               {"--passes", "4"}, {"--passes", "0"}, {"--retries", "1001"},
                                               {"--cache-sectors", "x"}, {"--max-time", "0s"}, {"--verify=1"}}) {
        EXPECT_FALSE(RipToolArguments::parse(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(RipToolArgumentsTest, RescueOptionsAndDurations)
{
    std::string error;
    const auto a = RipToolArguments::parse({"--retries=0", "--passes", "2", "--verify", "--max-time", "1h30m",
                                            "--cache-sectors", "1200"},
                                           error);
    ASSERT_TRUE(a) << error;
    EXPECT_EQ(a->retries, 0);
    EXPECT_EQ(a->passes, 2);
    EXPECT_TRUE(a->verify);
    EXPECT_EQ(a->maxSeconds, 5400);
    EXPECT_EQ(a->cacheSectors, 1200);
    EXPECT_TRUE(a->cacheSectorsGiven);
    const auto defaults = RipToolArguments::parse({}, error);
    EXPECT_EQ(defaults->retries, 10);
    EXPECT_EQ(defaults->passes, 3);
    EXPECT_FALSE(defaults->maxSeconds);
    // The cache is measured unless its size is given; retries run at 8x.
    EXPECT_FALSE(defaults->cacheSectorsGiven);
    EXPECT_EQ(defaults->retrySpeed, 8);
    EXPECT_FALSE(defaults->noVerify);
    const auto quick = RipToolArguments::parse({"--no-verify", "--retry-speed", "0"}, error);
    ASSERT_TRUE(quick) << error;
    EXPECT_TRUE(quick->noVerify);
    EXPECT_EQ(quick->retrySpeed, 0);
    EXPECT_NE(describeOptions(*quick).find("--no-verify"), std::string::npos);
    EXPECT_FALSE(RipToolArguments::parse({"--verify", "--no-verify"}, error));
    EXPECT_NE(error.find("schließen einander aus"), std::string::npos) << error;
    for (const char* bad : {"101", "-1", "x", "8x"}) {
        EXPECT_FALSE(RipToolArguments::parse({"--retry-speed", bad}, error)) << bad;
        EXPECT_NE(error.find("--retry-speed"), std::string::npos) << error;
    }

    EXPECT_EQ(parseDuration("90"), 90);
    EXPECT_EQ(parseDuration("90s"), 90);
    EXPECT_EQ(parseDuration("15m"), 900);
    EXPECT_EQ(parseDuration("2h"), 7200);
    for (const char* bad : {"", "m", "1h30", "-5", "1x", "0", "1.5h", "10000000h"}) EXPECT_FALSE(parseDuration(bad)) << bad;
}

TEST(RescueReportTest, TimesAndJsonStrings)
{
    EXPECT_EQ(trackTime(0), "00:00.00");
    EXPECT_EQ(trackTime(74), "00:00.74");
    EXPECT_EQ(trackTime(75 * 61 + 3), "01:01.03");
    EXPECT_EQ(trackTime(4500 * 100), "100:00.00");
    EXPECT_TRUE(isUtf8("Größe"));
    EXPECT_FALSE(isUtf8("x\xff"));
    EXPECT_FALSE(isUtf8("\xc3"));            // cut short
    EXPECT_FALSE(isUtf8("\xed\xa0\x80"));    // a surrogate
    EXPECT_FALSE(isUtf8("\xc0\xaf"));        // not the shortest form

    // Bytes that are not UTF-8 (a drive name, a file name) keep the report
    // valid JSON, and the file's real name is there in hex.
    RescueReport report;
    report.drive = "E: \"Lauf\\werk\"\n\xff";
    TrackReport t;
    t.track = 1;
    t.file = "/tmp/Gr\xf6\xdf" "e.wav";
    t.missing.push_back({150, 150});
    report.tracks.push_back(t);
    std::ostringstream out;
    report.writeJson(out);
    const Json j = Json::parse(out.str());
    EXPECT_EQ(j["drive"], "E: \"Lauf\\werk\"\n\xef\xbf\xbd");
    EXPECT_EQ(j["tracks"][0]["fileHex"], "2f746d702f4772f6df652e776176");
    EXPECT_EQ(j["tracks"][0]["missingRanges"][0]["end"], "00:02.01");
}

TEST(RipToolArgumentsTest, ReadOffsetFlacAndLogCheck)
{
    struct Case {
        const char* text;
        std::optional<int> offset;  // empty: refused
    } cases[] = {{"+6", 6}, {"6", 6}, {"-472", -472}, {"0", 0}, {"+2940", 2940}, {"-2940", -2940},
                 {"2941", {}}, {"-2941", {}}, {"+-6", {}}, {"++6", {}}, {"6x", {}}, {"", {}}, {"+", {}}};
    for (const Case& c : cases) {
        std::string error;
        const auto a = RipToolArguments::parse({"--offset", c.text}, error);
        EXPECT_EQ(a.has_value(), c.offset.has_value()) << c.text;
        if (a && c.offset) {
            EXPECT_EQ(a->offset, *c.offset) << c.text;
        } else if (!a) {
            EXPECT_NE(error.find("--offset"), std::string::npos) << c.text;
        }
    }
    std::string error;
    // FLAC files get the suffix by default, but a name the user gave stays.
    EXPECT_EQ(RipToolArguments::parse({"--flac"}, error)->name.fileName(3), "track03.flac");
    EXPECT_EQ(RipToolArguments::parse({"--name", "%d.wav", "--flac"}, error)->name.fileName(3), "3.wav");
    EXPECT_EQ(RipToolArguments::parse({}, error)->name.fileName(3), "track03.wav");
    const auto check = RipToolArguments::parse({"--check-log", "x.log"}, error);
    ASSERT_TRUE(check);
    EXPECT_EQ(check->action, RipToolArguments::Action::CheckLog);
    EXPECT_EQ(check->checkLog, "x.log");
}

}  // namespace
}  // namespace rilvane::riptool
