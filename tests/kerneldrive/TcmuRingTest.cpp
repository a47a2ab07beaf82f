// The TCMU ring as the kernel lays it out: a mailbox, a command ring with
// padding at its wrap, entries whose CDB and data pieces are offsets into the
// mapping, and answers written back in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "TcmuRing.h"

namespace rilvane::kerneldrive {
namespace {

constexpr uint32_t kCmdrOff = 128;
constexpr uint32_t kCmdrSize = 512;
constexpr size_t kDataOff = 1024;

class FakeRing {
public:
    std::vector<uint8_t> map = std::vector<uint8_t>(8192, 0);
    uint32_t head = 0;

    FakeRing()
    {
        put<uint16_t>(0, 2);           // version
        put<uint16_t>(2, 1 << 1);      // can take a read length
        put<uint32_t>(4, kCmdrOff);
        put<uint32_t>(8, kCmdrSize);
    }
    template <typename T>
    void put(size_t at, T value) { std::memcpy(&map[at], &value, sizeof value); }
    template <typename T>
    T get(size_t at) const
    {
        T value;
        std::memcpy(&value, &map[at], sizeof value);
        return value;
    }
    void pad(uint32_t length)
    {
        put<uint32_t>(kCmdrOff + head, length | 0);  // TCMU_OP_PAD
        advance(length);
    }
    // Queues a command with its data pieces; returns the entry's offset. As
    // the kernel makes them, an entry is at least as large as the answer
    // (112 bytes) and carries its CDB after the pieces.
    size_t command(std::vector<uint8_t> cdb, std::vector<std::pair<size_t, size_t>> pieces)
    {
        const size_t entry = kCmdrOff + head;
        const size_t base = std::max<size_t>(48 + 16 * pieces.size(), 112);
        const size_t cdbAt = entry + base;
        const uint32_t length = static_cast<uint32_t>(base + ((cdb.size() + 7) & ~size_t{7}));
        put<uint32_t>(entry, length | 1);  // TCMU_OP_CMD
        put<uint32_t>(entry + 8, static_cast<uint32_t>(pieces.size()));
        put<uint64_t>(entry + 24, cdbAt);
        std::memcpy(&map[cdbAt], cdb.data(), cdb.size());
        for (size_t i = 0; i < pieces.size(); ++i) {
            put<uint64_t>(entry + 48 + 16 * i, pieces[i].first);
            put<uint64_t>(entry + 56 + 16 * i, pieces[i].second);
        }
        advance(length);
        return entry;
    }
    uint32_t tail() const { return get<uint32_t>(64); }

private:
    void advance(uint32_t length)
    {
        head = (head + length) % kCmdrSize;
        put<uint32_t>(12, head);
    }
};

TEST(TcmuRing, AnswersInPlaceScattersDataAndTellsAShortTransfer)
{
    FakeRing fake;
    fake.pad(64);
    // A READ CD whose 100 bytes of data come in two pieces of 60 and 40.
    const size_t read = fake.command({0xBE, 0, 0, 0, 0, 5, 0, 0, 1, 0x10, 0, 0},
                                     {{kDataOff, 60}, {kDataOff + 200, 40}});
    // A command that fails with sense.
    const size_t failed = fake.command({0x00, 0, 0, 0, 0, 0}, {});

    TcmuRing ring;
    ring.attach(fake.map.data(), fake.map.size());
    std::vector<std::vector<uint8_t>> seen;
    const size_t served = ring.serveWaiting([&](RingCommand& c) {
        seen.emplace_back(c.cdb, c.cdb + c.cdbLength);
        RingAnswer a;
        if (c.cdb[0] == 0xBE) {
            EXPECT_EQ(c.data.size(), 100u);
            for (size_t i = 0; i < c.data.size(); ++i) c.data[i] = static_cast<uint8_t>(i + 1);
            a.transferred = 70;  // short: the second piece gets only 10 bytes
        } else {
            a.status = 2;
            a.sense[0] = 0x70;
            a.sense[2] = 0x02;
            a.sense[12] = 0x3A;
            a.senseLength = 18;
        }
        return a;
    });

    EXPECT_EQ(served, 2u);
    EXPECT_EQ(fake.tail(), fake.head);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].size(), 12u);
    EXPECT_EQ(seen[0][5], 5);
    EXPECT_EQ(seen[1].size(), 6u);
    EXPECT_EQ(fake.map[kDataOff], 1);
    EXPECT_EQ(fake.map[kDataOff + 59], 60);
    EXPECT_EQ(fake.map[kDataOff + 200], 61);
    EXPECT_EQ(fake.map[kDataOff + 209], 70);
    EXPECT_EQ(fake.map[kDataOff + 210], 0);  // past the short transfer: untouched
    EXPECT_EQ(fake.map[read + 8], 0);        // GOOD
    EXPECT_EQ(fake.map[read + 7] & 0x2, 0x2);  // read length given
    EXPECT_EQ(fake.map[read + 9], 1);
    EXPECT_EQ(fake.get<uint32_t>(read + 12), 70u);
    EXPECT_EQ(fake.map[failed + 8], 2);  // CHECK CONDITION
    EXPECT_EQ(fake.map[failed + 16], 0x70);
    EXPECT_EQ(fake.map[failed + 16 + 2], 0x02);
    EXPECT_EQ(fake.map[failed + 16 + 12], 0x3A);
}

TEST(TcmuRing, FollowsTheRingRoundItsEnd)
{
    FakeRing fake;
    TcmuRing ring;
    ring.attach(fake.map.data(), fake.map.size());
    int answered = 0;
    auto handler = [&](RingCommand&) {
        ++answered;
        return RingAnswer{};
    };
    // Eleven 120-byte commands: the ring of 512 bytes wraps, with padding at its end.
    for (int i = 0; i < 11; ++i) {
        if (fake.head + 120 > kCmdrSize)
            fake.pad(kCmdrSize - fake.head);
        fake.command({0x00, 0, 0, 0, 0, 0}, {});
        ring.serveWaiting(handler);
        EXPECT_EQ(fake.tail(), fake.head);
    }
    EXPECT_EQ(answered, 11);
}

TEST(TcmuRing, CommandLengthsFollowTheGroupCode)
{
    EXPECT_EQ(cdbLengthOf(0x00), 6u);
    EXPECT_EQ(cdbLengthOf(0x12), 6u);
    EXPECT_EQ(cdbLengthOf(0x43), 10u);
    EXPECT_EQ(cdbLengthOf(0x4A), 10u);
    EXPECT_EQ(cdbLengthOf(0xBE), 12u);
    EXPECT_EQ(cdbLengthOf(0x88), 16u);
}

}  // namespace
}  // namespace rilvane::kerneldrive
