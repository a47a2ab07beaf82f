// The tray in front of the image drive: no medium while the disc is out, the
// change reported once when it is back, INQUIRY answered throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "MediumSlot.h"

namespace rilvane::vdrive {
namespace {

class AlwaysGood : public VirtualDrive {
public:
    int calls = 0;
    ScsiReply execute(const uint8_t*, size_t, uint8_t*, uint32_t) override
    {
        ++calls;
        return {};
    }
    std::string productName() const override { return "GOOD"; }
};

struct Answer {
    uint8_t status;
    uint8_t key;
    uint8_t asc;
};

Answer send(MediumSlot& slot, uint8_t opcode)
{
    const uint8_t cdb[6] = {opcode, 0, 0, 0, 36, 0};
    uint8_t data[36];
    const ScsiReply r = slot.execute(cdb, sizeof cdb, data, sizeof data);
    return {r.status, static_cast<uint8_t>(r.sense[2] & 0x0F), r.sense[12]};
}

TEST(MediumSlot, EjectAndInsertAsARealDriveReportsThem)
{
    auto drive = std::make_unique<AlwaysGood>();
    AlwaysGood& inner = *drive;
    MediumSlot slot(std::move(drive));

    EXPECT_EQ(send(slot, 0x00).status, 0);
    slot.eject();
    EXPECT_FALSE(slot.present());
    for (int i = 0; i < 2; ++i) {
        const Answer a = send(slot, 0x00);
        EXPECT_EQ(a.status, 2);
        EXPECT_EQ(a.key, 0x02);
        EXPECT_EQ(a.asc, 0x3A);
    }
    EXPECT_EQ(send(slot, 0x12).status, 0);  // INQUIRY: the drive is still there
    slot.insert();
    const Answer change = send(slot, 0x43);
    EXPECT_EQ(change.status, 2);
    EXPECT_EQ(change.key, 0x06);
    EXPECT_EQ(change.asc, 0x28);
    EXPECT_EQ(send(slot, 0x43).status, 0);  // reported once
    slot.insert();                          // already in: nothing to report
    EXPECT_EQ(send(slot, 0x43).status, 0);
    EXPECT_EQ(inner.calls, 4);  // the change was the tray's answer
}

// The tray as the kernel and eject(1) drive it: GET EVENT STATUS NOTIFICATION
// (polled, media class) tells each removal and new disc once; START STOP UNIT
// opens and closes the tray unless PREVENT ALLOW MEDIUM REMOVAL locked it;
// REQUEST SENSE and MECHANISM STATUS tell the state without a disc.
TEST(MediumSlot, TrayCommandsAndMediaEvents)
{
    auto drive = std::make_unique<AlwaysGood>();
    AlwaysGood& inner = *drive;
    MediumSlot slot(std::move(drive));
    uint8_t data[24] = {};
    auto run = [&](std::vector<uint8_t> cdb) {
        std::fill(std::begin(data), std::end(data), 0xEE);
        return slot.execute(cdb.data(), cdb.size(), data, sizeof data);
    };
    const std::vector<uint8_t> events = {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0};
    ASSERT_EQ(run(events).status, 0);
    EXPECT_EQ(data[2], 0x04);  // media class
    EXPECT_EQ(data[4], 0x00);  // no change
    EXPECT_EQ(data[5], 0x02);  // a disc, tray closed
    EXPECT_EQ(run({0x4A, 0x00, 0, 0, 0x10, 0, 0, 0, 8, 0}).status, 2);  // asynchronous: not offered

    ASSERT_EQ(run({0x1E, 0, 0, 0, 0x01, 0}).status, 0);  // lock
    const ScsiReply refused = run({0x1B, 0, 0, 0, 0x02, 0});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.sense[12], 0x53);
    EXPECT_TRUE(slot.present());
    ASSERT_EQ(run({0x1E, 0, 0, 0, 0x00, 0}).status, 0);  // unlock
    ASSERT_EQ(run({0x1B, 0, 0, 0, 0x02, 0}).status, 0);  // open
    EXPECT_FALSE(slot.present());
    run(events);
    EXPECT_EQ(data[4], 0x03);  // media removal, once
    EXPECT_EQ(data[5], 0x01);  // tray open
    run(events);
    EXPECT_EQ(data[4], 0x00);
    ASSERT_EQ(run({0x03, 0, 0, 0, 18, 0}).status, 0);
    EXPECT_EQ(data[2], 0x02);
    EXPECT_EQ(data[12], 0x3A);
    ASSERT_EQ(run({0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0}).status, 0);
    EXPECT_EQ(data[1], 0x10);  // door open
    EXPECT_EQ(run({0x1B, 0, 0, 0, 0x01, 0}).status, 2);  // spin up without a disc

    ASSERT_EQ(run({0x1B, 0, 0, 0, 0x03, 0}).status, 0);  // close
    run(events);
    EXPECT_EQ(data[4], 0x02);  // new media
    EXPECT_EQ(run({0x00, 0, 0, 0, 0, 0}).sense[12], 0x28);  // and the change, once
    EXPECT_EQ(run({0x00, 0, 0, 0, 0, 0}).status, 0);
    EXPECT_EQ(inner.calls, 1);  // only the last TEST UNIT READY reached the drive
}

}  // namespace
}  // namespace rilvane::vdrive
