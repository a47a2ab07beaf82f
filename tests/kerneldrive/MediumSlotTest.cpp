// The tray in front of the image drive: no medium while the disc is out, the
// change reported once when it is back, INQUIRY answered throughout.
#include <gtest/gtest.h>

#include <memory>

#include "MediumSlot.h"

namespace rilvane::kerneldrive {
namespace {

class AlwaysGood : public vdrive::VirtualDrive {
public:
    int calls = 0;
    vdrive::ScsiReply execute(const uint8_t*, size_t, uint8_t*, uint32_t) override
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
    const vdrive::ScsiReply r = slot.execute(cdb, sizeof cdb, data, sizeof data);
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
    const Answer loading = send(slot, 0x43);  // still loading the disc
    EXPECT_EQ(loading.status, 2);
    EXPECT_EQ(loading.key, 0x02);
    EXPECT_EQ(loading.asc, 0x3A);
    const Answer change = send(slot, 0x43);
    EXPECT_EQ(change.status, 2);
    EXPECT_EQ(change.key, 0x06);
    EXPECT_EQ(change.asc, 0x28);
    EXPECT_EQ(send(slot, 0x43).status, 0);  // reported once
    slot.insert();                          // already in: nothing to report
    EXPECT_EQ(send(slot, 0x43).status, 0);
    EXPECT_EQ(inner.calls, 4);  // the change was the tray's answer
}

}  // namespace
}  // namespace rilvane::kerneldrive
