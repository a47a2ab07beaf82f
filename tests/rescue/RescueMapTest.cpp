// The rescue map as text: what it writes it reads back, and a file that is
// not a whole, ordered map is refused with the line that is wrong.
#include <gtest/gtest.h>

#include "rescue/RescueMap.h"

namespace rilvane::rescue {
namespace {

DiscLayout layout()
{
    DiscLayout l;
    l.trackStarts = {0, 100, 250};
    l.leadOut = 300;
    l.dataTrack = {false, false, true};
    return l;
}

TEST(RescueMap, WritesAndReadsEveryState)
{
    RescueMap map(layout());
    map.set(0, SectorState::Good);
    map.set(1, SectorState::Verified, 2);
    map.set(2, SectorState::Failed, 11);
    map.set(3, SectorState::Suspect, 4, 17);
    map.set(4, SectorState::Suspect, 4, kUnknownC2);
    map.set(5, SectorState::Narrow);
    const std::string text = map.text();
    EXPECT_NE(text.find("toc 0 100 250 300\ndata 3\n0 good\n1 verified 2\n2 failed 11\n3 suspect 4 17\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("6-249 untried\n250-299 data\n"), std::string::npos) << text;

    std::string error;
    const auto back = RescueMap::parse(text, error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->layout() == map.layout());
    EXPECT_TRUE(back->layout().dataTrack[2]);
    for (int32_t s = 0; s < map.sectors(); ++s) {
        EXPECT_EQ(back->state(s), map.state(s)) << s;
        EXPECT_EQ(back->tries(s), map.tries(s)) << s;
        EXPECT_EQ(back->c2Bits(s), map.c2Bits(s)) << s;
    }
    EXPECT_EQ(back->text(), text);
}

TEST(RescueMap, RefusesWhatIsNotAWholeMap)
{
    const std::string head = "rilvane-rescue-map 1\ntoc 0 100 300\n";
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "keine Rettungskarte"},
        {"0-299 good\n", "Zeile 1: keine Rettungskarte"},
        {"rilvane-rescue-map 1\n0-299 good\n", "Zeile 2: 'toc' fehlt"},
        {head + "0-99 good\n", "die Sektoren ab 100 fehlen"},
        {head + "0-99 good\n101-299 good\n", "Zeile 4: falscher Bereich '101-299'"},
        {head + "0-99 good\n50-299 good\n", "Zeile 4: falscher Bereich '50-299'"},
        {head + "0-300 good\n", "Zeile 3: falscher Bereich"},
        {head + "0-299 fine\n", "Zeile 3: unbekannter Zustand 'fine'"},
        {head + "0-299 failed 70000\n", "Zeile 3: falsche Zahl"},
        {head + "0-299 failed 1 2 3\n", "Zeile 3: Zustand fehlt oder zu viele Angaben"},
        {"rilvane-rescue-map 1\ntoc 0 100 50\n0-49 good\n", "Zeile 2: falscher Sektor '50'"},
        {head, "keine Sektoren"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(RescueMap::parse(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error << "\nfor: " << c.text;
    }
}

// The sums of the copy's stretches and the count of runs come back as
// written; a stretch changed since its sum was taken has none.
TEST(RescueMap, KeepsSumsAndRuns)
{
    DiscLayout l;
    l.trackStarts = {0};
    l.leadOut = 2500;
    RescueMap map(l);
    map.set(5, SectorState::Good);
    map.set(1500, SectorState::Good);
    map.setSum(0, 0x1234abcd);
    map.setSum(1, 0xffffffff);
    map.setRuns(3);
    std::string error;
    auto back = RescueMap::parse(map.text(), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->runs(), 3);
    EXPECT_EQ(back->sum(0), 0x1234abcdu);
    EXPECT_EQ(back->sum(1), 0xffffffffu);
    EXPECT_FALSE(back->sum(2));
    EXPECT_FALSE(back->sumChanged(0));
    back->set(1501, SectorState::Good);
    EXPECT_FALSE(back->sum(1));
    EXPECT_TRUE(back->sumChanged(1));

    // A sum before the sectors, or not of a stretch's first sector, is refused.
    const std::string text = map.text();
    std::string moved = text;
    moved.insert(moved.find("0-4 untried"), "sum 0 00000000\n");
    EXPECT_FALSE(RescueMap::parse(moved, error));
    EXPECT_FALSE(RescueMap::parse(text + "sum 5 00000000\n", error));
}

// The table of contents decides which tracks hold data.
TEST(RescueMap, TakesTheDataTracksOfTheTableOfContents)
{
    RescueMap map(layout());
    map.set(120, SectorState::Good);
    EXPECT_EQ(map.takeDataTracks({false, true, false}), 2);
    EXPECT_EQ(map.state(120), SectorState::Data);
    EXPECT_EQ(map.state(260), SectorState::Untried);
    EXPECT_EQ(map.takeDataTracks({false, true, false}), 0);
}

}  // namespace
}  // namespace rilvane::rescue
