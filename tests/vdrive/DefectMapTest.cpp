#include "TempDir.h"

#include "vdrive/DefectMap.h"

#include <gtest/gtest.h>

using namespace rilvane::vdrive;

TEST(DefectMap, ReadsEveryDirective)
{
    std::string error;
    const auto map = DefectMap::parse("# a scratched disc\n"
                                      "\n"
                                      "name   Kratzer #1 Laufwerk  \n"
                                      "inquiry 5/24/0\n"
                                      "TOC 02/3a/00   # tray open\n"
                                      "1000-1009 03/11/00 250\n"
                                      "  2000 04/44/00\n"
                                      "3000-3999 gone\n",
                                      "scratch.defects", error);
    ASSERT_TRUE(map) << error;
    // The name keeps its '#' and is cut to the 16 characters INQUIRY has room for.
    EXPECT_EQ(map->productName(), "Kratzer #1 Laufw");
    ASSERT_TRUE(map->inquiryFailure());
    EXPECT_EQ(map->inquiryFailure()->sense, (SenseCode{0x05, 0x24, 0x00}));
    ASSERT_TRUE(map->tocFailure());
    EXPECT_EQ(map->tocFailure()->sense, (SenseCode{0x02, 0x3A, 0x00}));

    ASSERT_EQ(map->ranges().size(), 3u);
    const DefectRange& r0 = map->ranges()[0];
    EXPECT_EQ(r0.first, 1000);
    EXPECT_EQ(r0.last, 1009);
    EXPECT_EQ(r0.action.sense, (SenseCode{0x03, 0x11, 0x00}));
    EXPECT_EQ(r0.action.delayMs, 250u);
    EXPECT_FALSE(r0.action.gone);
    EXPECT_EQ(map->ranges()[1].first, 2000);
    EXPECT_EQ(map->ranges()[1].last, 2000);
    EXPECT_EQ(map->ranges()[1].action.delayMs, 0u);
    EXPECT_TRUE(map->ranges()[2].action.gone);
}

TEST(DefectMap, FindsTheFirstRangeTouchingARead)
{
    std::string error;
    const auto map = DefectMap::parse("100-109 03/11/00\n105 04/44/00\n500 gone\n", "m", error);
    ASSERT_TRUE(map) << error;
    EXPECT_EQ(map->find(90, 10), nullptr);    // 90..99 stops just short
    EXPECT_EQ(map->find(110, 10), nullptr);   // starts just after
    ASSERT_NE(map->find(91, 10), nullptr);    // touches 100
    EXPECT_EQ(map->find(91, 10)->first, 100);
    EXPECT_EQ(map->find(105, 1)->first, 100); // overlapping ranges: the map's order decides
    EXPECT_TRUE(map->find(495, 10)->action.gone);
    EXPECT_EQ(map->find(100, 0), nullptr);
}

TEST(DefectMap, DefaultsWithoutDirectives)
{
    std::string error;
    const auto map = DefectMap::parse("# nothing wrong with this one\n", "m", error);
    ASSERT_TRUE(map) << error;
    EXPECT_EQ(map->productName(), "Virtual CD-ROM");
    EXPECT_FALSE(map->inquiryFailure());
    EXPECT_FALSE(map->tocFailure());
    EXPECT_TRUE(map->ranges().empty());
}

TEST(DefectMap, ReadsTheDamageThatRetriesAndChecksMeetWith)
{
    std::string error;
    const auto map = DefectMap::parse("2000-2009 flaky 3              # fails its first 3 reads\n"
                                      "2100 FLAKY 1 03/02/00 40\n"
                                      "7000-7003 corrupt 2\n"
                                      "c2        no\n"
                                      "cache     1200\n",
                                      "m", error);
    ASSERT_TRUE(map) << error;
    ASSERT_EQ(map->flaky().size(), 2u);
    EXPECT_EQ(map->flaky()[0].first, 2000);
    EXPECT_EQ(map->flaky()[0].last, 2009);
    EXPECT_EQ(map->flaky()[0].failures, 3u);
    EXPECT_EQ(map->flaky()[0].sense, (SenseCode{0x03, 0x11, 0x00}));
    EXPECT_EQ(map->flaky()[0].delayMs, 0u);
    EXPECT_EQ(map->flaky()[1].sense, (SenseCode{0x03, 0x02, 0x00}));
    EXPECT_EQ(map->flaky()[1].delayMs, 40u);
    ASSERT_EQ(map->corrupt().size(), 1u);
    EXPECT_EQ(map->corrupt()[0].last, 7003);
    EXPECT_EQ(map->corrupt()[0].reads, 2u);
    EXPECT_FALSE(map->reportsC2());
    EXPECT_EQ(map->cacheSectors(), 1200u);
    // None of them is a plain failing range.
    EXPECT_TRUE(map->ranges().empty());

    const auto plain = DefectMap::parse("", "m", error);
    EXPECT_TRUE(plain->reportsC2());
    EXPECT_EQ(plain->c2(), C2Support::Both);
    EXPECT_EQ(plain->cacheSectors(), 0u);
    EXPECT_FALSE(plain->cacheObeysFua());
    EXPECT_EQ(plain->timedSpeed(), 0u);
    EXPECT_TRUE(plain->slow().empty());
}

TEST(DefectMap, ReadsTheDrivesHabits)
{
    std::string error;
    const auto map = DefectMap::parse("speed 40\n"
                                      "2000-2009 slow 8   # only at 8x or slower\n"
                                      "cache 3000 FUA\n",
                                      "m", error);
    ASSERT_TRUE(map) << error;
    EXPECT_EQ(map->timedSpeed(), 40u);
    ASSERT_EQ(map->slow().size(), 1u);
    EXPECT_EQ(map->slow()[0].first, 2000);
    EXPECT_EQ(map->slow()[0].last, 2009);
    EXPECT_EQ(map->slow()[0].maxSpeed, 8u);
    EXPECT_EQ(map->cacheSectors(), 3000u);
    EXPECT_TRUE(map->cacheObeysFua());
    EXPECT_TRUE(map->ranges().empty());

    const struct {
        const char* line;
        C2Support support;
    } forms[] = {{"c2 yes", C2Support::Both},
                 {"c2 no", C2Support::None},
                 {"c2 294", C2Support::Only294},
                 {"c2 296", C2Support::Only296},
                 {"c2 LIES", C2Support::Lies}};
    for (const auto& form : forms) {
        const auto parsed = DefectMap::parse(form.line, "m", error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->c2(), form.support) << form.line;
        EXPECT_EQ(parsed->reportsC2(), form.support != C2Support::None) << form.line;
    }
}

TEST(DefectMap, BadLinesAreReportedWithFileAndLine)
{
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"1000 3/11\n", "m.defects:1: bad sense '3/11'"},
        {"\n1000 10/11/00\n", "m.defects:2: bad sense '10/11/00'"},
        {"1000 03/111/00\n", "m.defects:1: bad sense"},
        {"1009-1000 03/11/00\n", "m.defects:1: sector range '1009-1000' ends before it starts"},
        {"-5 03/11/00\n", "m.defects:1: unknown directive '-5'"},
        {"12a 03/11/00\n", "m.defects:1: bad sector range '12a'"},
        {"99999999999 03/11/00\n", "m.defects:1: bad sector range"},
        {"1000\n", "m.defects:1: the sector range needs a sense"},
        {"1000 gone 50\n", "m.defects:1: nothing may follow 'gone'"},
        {"1000 03/11/00 fast\n", "m.defects:1: bad delay 'fast'"},
        {"1000 03/11/00 600001\n", "m.defects:1: bad delay '600001'"},
        {"1000 03/11/00 5 6\n", "m.defects:1: too many fields"},
        {"inquiry 05/24/00 100\n", "m.defects:1: too many fields"},
        {"toc\n", "m.defects:1: 'toc' needs a sense"},
        {"toc 05/24/00\ntoc 05/24/00\n", "m.defects:2: second 'toc' line"},
        {"name A\nname B\n", "m.defects:2: second 'name' line"},
        {"name\n", "m.defects:1: 'name' needs a text"},
        {"name Gr\xC3\xBCn\n", "m.defects:1: the name may only hold printable ASCII"},
        {"scratch 100\n", "m.defects:1: unknown directive 'scratch'"},
        {"1000 short\n", "m.defects:1: 'short' belongs to a sector range and needs a byte count"},
        {"toc short 10\n", "m.defects:1: 'short' belongs to a sector range"},
        {"startup 02/3A/00 0\n", "m.defects:1: 'startup' needs a sense"},
        {"startup 02/3A/00\nstartup 06/28/00 1\n", "m.defects:2: a 'startup' line without a count must be the last"},
        {"sense long\n", "m.defects:1: 'sense' needs 'descriptor' or 'fixed'"},
        {"2000 flaky\n", "m.defects:1: 'flaky' needs a number of failing reads"},
        {"2000 flaky 0\n", "m.defects:1: 'flaky' needs a number of failing reads"},
        {"2000 flaky 3 03/11\n", "m.defects:1: bad sense '03/11'"},
        {"2000 flaky 3 03/11/00 slow\n", "m.defects:1: bad delay 'slow'"},
        {"2000 flaky 3 03/11/00 4 5\n", "m.defects:1: 'flaky' needs"},
        {"7000 corrupt\n", "m.defects:1: 'corrupt' needs the number of wrong reads"},
        {"7000 corrupt 2 3\n", "m.defects:1: 'corrupt' needs the number of wrong reads"},
        {"c2 maybe\n", "m.defects:1: 'c2' needs 'yes', 'no', '294', '296' or 'lies'"},
        {"c2 295\n", "m.defects:1: 'c2' needs"},
        {"cache 100 lru\n", "m.defects:1: 'cache' needs a number of sectors"},
        {"cache fua\n", "m.defects:1: 'cache' needs a number of sectors"},
        {"speed 0\n", "m.defects:1: 'speed' needs the top speed"},
        {"speed 101\n", "m.defects:1: 'speed' needs the top speed"},
        {"speed\n", "m.defects:1: 'speed' needs the top speed"},
        {"2000 slow\n", "m.defects:1: 'slow' needs the highest speed"},
        {"2000 slow 0\n", "m.defects:1: 'slow' needs the highest speed"},
        {"2000 slow 8 9\n", "m.defects:1: 'slow' needs the highest speed"},
        {"cache\n", "m.defects:1: 'cache' needs a number of sectors"},
        {"cache 100001\n", "m.defects:1: 'cache' needs a number of sectors"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(DefectMap::parse(c.text, "m.defects", error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << "got: " << error << "\nfor: " << c.text;
    }
}

TEST(DefectMap, LoadNamesTheFile)
{
    TempDir dir;
    std::string error;
    EXPECT_FALSE(DefectMap::load(dir.file("none.defects"), error));
    EXPECT_NE(error.find("none.defects: cannot open"), std::string::npos) << error;

    const std::string path = dir.write("bad.defects", "# ok\n7 x/y/z\n");
    EXPECT_FALSE(DefectMap::load(path, error));
    EXPECT_EQ(error.rfind(path + ":2: bad sense 'x/y/z'", 0), 0u) << error;
}
