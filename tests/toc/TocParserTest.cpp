#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "drive/TocParser.h"

using rilvane::kTrackSlots;
using rilvane::parseToc;
using rilvane::TrackTable;

namespace {

constexpr int32_t kUntouched = -7;

// A table whose every slot shows whether the parser wrote it.
TrackTable markedTable()
{
    TrackTable t;
    t.slots.fill(kUntouched);
    t.count = 42;
    return t;
}

// A READ TOC answer as a drive sends it, in a buffer of `size` bytes
// (2048, like the allocation, unless told otherwise).
std::vector<uint8_t> tocAnswer(int first, int last, const std::vector<uint32_t>& starts,
                               size_t size = 2048)
{
    std::vector<uint8_t> r(std::max(size, 4 + 8 * starts.size()), 0);
    const size_t dataLength = 2 + 8 * starts.size();
    r[0] = static_cast<uint8_t>(dataLength >> 8);
    r[1] = static_cast<uint8_t>(dataLength);
    r[2] = static_cast<uint8_t>(first);
    r[3] = static_cast<uint8_t>(last);
    for (size_t k = 0; k < starts.size(); ++k) {
        uint8_t* d = &r[4 + 8 * k];
        d[1] = 0x10;  // audio, LBA
        d[2] = k + 1 == starts.size() ? 0xAA : static_cast<uint8_t>(first + k);
        d[4] = static_cast<uint8_t>(starts[k] >> 24);
        d[5] = static_cast<uint8_t>(starts[k] >> 16);
        d[6] = static_cast<uint8_t>(starts[k] >> 8);
        d[7] = static_cast<uint8_t>(starts[k]);
    }
    return r;
}

std::vector<uint32_t> evenStarts(size_t n, uint32_t step = 15000)
{
    std::vector<uint32_t> s;
    for (size_t i = 0; i < n; ++i)
        s.push_back(static_cast<uint32_t>(i) * step);
    return s;
}

void expectSlots(const TrackTable& t, const std::vector<uint32_t>& starts)
{
    for (size_t k = 0; k < starts.size(); ++k)
        EXPECT_EQ(t.slot(static_cast<int>(k) + 1), static_cast<int32_t>(starts[k])) << "slot " << k + 1;
    for (int s = static_cast<int>(starts.size()) + 1; s <= kTrackSlots; ++s)
        ASSERT_EQ(t.slot(s), kUntouched) << "slot " << s << " was written";
    EXPECT_EQ(t.slot(0), kUntouched);
}

}  // namespace

TEST(TocParser, TwelveTracks)
{
    const std::vector<uint32_t> starts = {0,      18200,  35010,  52400,  70011,  88000, 101234,
                                          120000, 139999, 150000, 170500, 190321, 210000};
    const auto r = tocAnswer(1, 12, starts);
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 12);
    EXPECT_EQ(t.count, 12);
    expectSlots(t, starts);
    EXPECT_EQ(t.slot(13), 210000);  // lead-out
}

TEST(TocParser, SingleTrack)
{
    const auto r = tocAnswer(1, 1, {0, 33000});
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 1);
    expectSlots(t, {0, 33000});
}

TEST(TocParser, SlotsFollowPositionNotTrackNumber)
{
    // Tracks 2 to 5: the disc's track 2 lands in slot 1.
    const std::vector<uint32_t> starts = {150, 20000, 40000, 60000, 80000};
    const auto r = tocAnswer(2, 5, starts);
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 4);
    expectSlots(t, starts);
}

TEST(TocParser, AddressesAreBigEndianAndKeepAllBits)
{
    const auto r = tocAnswer(1, 2, {0x01020304u, 0x80000000u, 0xFFFFFFFFu});
    TrackTable t = markedTable();
    ASSERT_EQ(parseToc(r.data(), r.size(), t), 2);
    EXPECT_EQ(t.slot(1), 0x01020304);
    EXPECT_EQ(t.slot(2), INT32_MIN);
    EXPECT_EQ(t.slot(3), -1);
}

TEST(TocParser, NinetyNineTracksFitTheAllocation)
{
    const auto starts = evenStarts(100, 3000);
    const auto r = tocAnswer(1, 99, starts);
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 99);
    expectSlots(t, starts);
}

TEST(TocParser, LastBelowFirstMeansNoTracks)
{
    const auto r = tocAnswer(5, 2, evenStarts(8));
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 0);
    EXPECT_EQ(t.count, 0);
    expectSlots(t, {});

    // last = first - 1 announces just a lead-out: no tracks, slot 1 holds it.
    const auto leadOutOnly = tocAnswer(3, 2, {4500});
    t = markedTable();
    EXPECT_EQ(parseToc(leadOutOnly.data(), leadOutOnly.size(), t), 0);
    expectSlots(t, {4500});
}

TEST(TocParser, TooShortForAHeaderMeansNoTracks)
{
    const auto r = tocAnswer(1, 12, evenStarts(13));
    for (size_t received : {0u, 1u, 3u}) {
        TrackTable t = markedTable();
        EXPECT_EQ(parseToc(r.data(), received, t), 0) << received;
        EXPECT_EQ(t.count, 0);
        expectSlots(t, {});
    }
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(nullptr, 0, t), 0);
    expectSlots(t, {});
}

TEST(TocParser, ShortAnswerTakesOnlyCompleteDescriptors)
{
    const auto starts = evenStarts(13);
    // Exactly 5 whole descriptors: the fifth closes track 4.
    std::vector<uint8_t> r = tocAnswer(1, 12, starts);
    r.resize(4 + 5 * 8);
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 4);
    expectSlots(t, {starts.begin(), starts.begin() + 5});

    // One byte short of the fifth address: four descriptors, three tracks.
    r.resize(4 + 5 * 8 - 1);
    t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 3);
    expectSlots(t, {starts.begin(), starts.begin() + 4});

    // A header and part of the first descriptor: nothing to take.
    r.resize(11);
    t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 0);
    expectSlots(t, {});
}

TEST(TocParser, FullAllocationHoldsAtMost255Descriptors)
{
    // 1..255 announces 256 descriptors; 2048 bytes hold 255 of them.
    const auto starts = evenStarts(256, 100);
    std::vector<uint8_t> r = tocAnswer(1, 255, starts);
    r.resize(2048);
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 254);
    expectSlots(t, {starts.begin(), starts.begin() + 255});
}

TEST(TocParser, NeverWritesPastTheLastSlot)
{
    // 0..255 announces 257 descriptors; all are present, 256 fit the table.
    const auto starts = evenStarts(257, 100);
    const auto r = tocAnswer(0, 255, starts, 4 + 8 * 257);
    TrackTable t = markedTable();
    EXPECT_EQ(parseToc(r.data(), r.size(), t), 255);
    expectSlots(t, {starts.begin(), starts.begin() + 256});
    EXPECT_EQ(t.slot(256), 25500);  // stands in for the lead-out
}

TEST(TocParser, LaterDiscOverwritesOnlyAsFarAsItReaches)
{
    TrackTable t = markedTable();
    const auto big = tocAnswer(1, 12, evenStarts(13));
    parseToc(big.data(), big.size(), t);
    const auto small = tocAnswer(1, 2, {0, 9000, 20000});
    EXPECT_EQ(parseToc(small.data(), small.size(), t), 2);
    EXPECT_EQ(t.slot(3), 20000);
    EXPECT_EQ(t.slot(4), 3 * 15000);  // left from the earlier disc
}

TEST(TocParser, EntriesCarryNumbersAndControlBitsOfTheSameDescriptors)
{
    // Tracks 3..5 (pre-emphasis, copy permitted, data) and the lead-out.
    std::vector<uint8_t> r = tocAnswer(3, 5, {0, 1500, 3000, 4500});
    r[4 + 1] = 0x11;
    r[12 + 1] = 0x12;
    r[20 + 1] = 0x14;
    const auto entries = rilvane::parseTocEntries(r.data(), r.size());
    ASSERT_EQ(entries.size(), 4u);
    const int numbers[] = {3, 4, 5, 0xAA};
    const uint8_t controls[] = {0x1, 0x2, 0x4, 0x0};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(entries[k].number, numbers[k]);
        EXPECT_EQ(entries[k].control, controls[k]);
        EXPECT_EQ(entries[k].start, static_cast<int32_t>(1500 * k));
    }
    // Short answers: only whole descriptors, as the table takes them.
    for (const auto& [size, taken] : {std::pair<size_t, size_t>{0, 0}, {11, 0}, {12, 1}, {27, 2}, {28, 3}})
        EXPECT_EQ(rilvane::parseTocEntries(r.data(), size).size(), taken) << size;
}
