// The read loop: skipping, the error limit, the stop request and the current
// sector that the window may move between two reads.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <set>
#include <vector>

#include "RecordingLog.h"
#include "ScriptedHost.h"
#include "drive/ReadLoop.h"

namespace rilvane {
namespace {

using test::ScriptedHost;

// Fails at the listed sectors, succeeds elsewhere.
class ScriptedReader : public BlockReader {
public:
    explicit ScriptedReader(std::set<int32_t> failing) : failing_(std::move(failing)) {}
    uint8_t* read(int32_t sector, int32_t sectors) override
    {
        reads.push_back(sector);
        lengths.push_back(sectors);
        return failing_.count(sector) ? nullptr : block_.data();
    }
    std::vector<int32_t> reads;
    std::vector<int32_t> lengths;

private:
    std::set<int32_t> failing_;
    std::vector<uint8_t> block_ = std::vector<uint8_t>(23520);
};

std::set<int32_t> blocks(int32_t first, int count)
{
    std::set<int32_t> sectors;
    for (int i = 0; i < count; ++i)
        sectors.insert(first + 10 * i);
    return sectors;
}

TEST(ReadLoop, EleventhFailureInARowStops)
{
    ScriptedReader reader(blocks(1000, 100));
    ScriptedHost host;
    host.state.currentSector = 1000;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();

    EXPECT_EQ(reader.reads.size(), 11u);
    EXPECT_TRUE(host.state.stopRequest);
    EXPECT_TRUE(stats.errorLimitReached);
    EXPECT_EQ(stats.failedBlocks, 11);
    EXPECT_EQ(stats.goodBlocks, 0);
    // Every attempt moves on by ten, the failed ones included.
    EXPECT_EQ(host.state.currentSector, 1110);
    EXPECT_EQ(host.positions.back(), 1110);
    EXPECT_EQ(host.pumps, 11);
}

TEST(ReadLoop, GoodReadBetweenTenFailuresResetsTheCount)
{
    std::set<int32_t> failing = blocks(0, 10);
    failing.merge(blocks(110, 10));
    ScriptedReader reader(failing);
    ScriptedHost host;
    host.blocks = 30;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();

    EXPECT_EQ(reader.reads.size(), 30u);
    EXPECT_FALSE(host.state.stopRequest);
    EXPECT_FALSE(stats.errorLimitReached);
    EXPECT_EQ(stats.failedBlocks, 20);
    EXPECT_EQ(stats.goodBlocks, 10);
    EXPECT_EQ(host.goodSectors.front(), 100);
    EXPECT_EQ(host.state.currentSector, 300);
}

TEST(ReadLoop, ClearsTheStopRequestBeforeItStarts)
{
    ScriptedReader reader({});
    ScriptedHost host;
    host.state.stopRequest = true;
    host.blocks = 3;
    ReadLoop(reader, host.state, host, &host).run();
    EXPECT_FALSE(host.state.stopRequest);
    EXPECT_EQ(reader.reads, (std::vector<int32_t>{0, 10, 20}));
}

TEST(ReadLoop, ReadsWhereTheWindowMovedTheSectorAndStopsBeforeTheNextRead)
{
    ScriptedReader reader({});
    ScriptedHost host;
    host.state.currentSector = 500;
    host.onPump = [](ScriptedHost& h) {
        if (h.pumps == 3)
            h.state.currentSector = 7000;  // a navigation button
        if (h.pumps == 5)
            h.state.stopRequest = true;  // the Stop button
    };
    ReadLoop(reader, host.state, host, &host).run();
    // A Stop pressed before a read wins over it: the loop ends there.
    EXPECT_EQ(reader.reads, (std::vector<int32_t>{500, 510, 7000, 7010}));
    EXPECT_EQ(host.positions, (std::vector<int32_t>{510, 520, 7010, 7020}));
    EXPECT_EQ(host.goodSectors, reader.reads);
}

TEST(ReadLoop, NothingIsReadWhenTheHostWantsNothing)
{
    ScriptedReader reader({});
    ScriptedHost host;
    host.blocks = 0;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();
    EXPECT_TRUE(reader.reads.empty());
    EXPECT_EQ(host.pumps, 0);
    EXPECT_EQ(stats.goodBlocks + stats.failedBlocks, 0);
}

TEST(ReadLoop, EndsAtTheLastSectorNumberInsteadOfWrapping)
{
    ScriptedReader reader({});
    ScriptedHost host;
    host.state.currentSector = INT32_MAX - 15;
    ReadLoop(reader, host.state, host, &host).run();
    EXPECT_EQ(reader.reads, (std::vector<int32_t>{INT32_MAX - 15, INT32_MAX - 5}));
    EXPECT_EQ(host.state.currentSector, INT32_MAX);
    EXPECT_EQ(host.positions.back(), INT32_MAX);
    EXPECT_FALSE(host.state.stopRequest);
}

TEST(ReadLoop, BlockCrossingTheLeadOutReadsOnlyUpToIt)
{
    struct Case {
        int32_t from;
        std::optional<int32_t> leadOut;
        std::vector<int32_t> lengths;
    };
    const Case cases[] = {
        {1000, 1035, {10, 10, 10, 5, 10}},   // then past the lead-out: whole blocks, which drives refuse
        {1000, 1030, {10, 10, 10, 10, 10}},  // ends on a block boundary: nothing shortened
        {1000, 1001, {1, 10, 10, 10, 10}},
        {1000, 900, {10, 10, 10, 10, 10}},   // already past it
        {1000, std::nullopt, {10, 10, 10, 10, 10}},
        {INT32_MAX - 12, INT32_MAX, {10, 2}},
    };
    for (const Case& c : cases) {
        ScriptedReader reader({});
        ScriptedHost host;
        host.state.currentSector = c.from;
        host.blocks = 5;
        ReadLoop(reader, host.state, host, &host, c.leadOut).run();
        EXPECT_EQ(reader.lengths, c.lengths) << c.from;
        ASSERT_EQ(host.goodBytes.size(), c.lengths.size());
        for (size_t i = 0; i < c.lengths.size(); ++i)
            EXPECT_EQ(host.goodBytes[i], uint32_t(c.lengths[i]) * 2352u);
        // Every block moves the position on by ten, a short one too.
        EXPECT_EQ(host.positions.front(), c.from + 10);
    }
}

}  // namespace
}  // namespace rilvane
