// The kernel drive's translation: commands reach the drive as queued, and the
// drive's answers reach the ring in the terms the kernel understands.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "RingTranslation.h"
#include "vdrive/ScsiReplies.h"

namespace rilvane::kerneldrive {
namespace {

// A drive that answers with a reply set by the test and keeps what it was sent.
class ScriptedDrive : public vdrive::VirtualDrive {
public:
    vdrive::ScsiReply reply;
    std::vector<uint8_t> fill;
    std::vector<uint8_t> lastCdb;
    uint32_t lastLength = 0;

    vdrive::ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) override
    {
        lastCdb.assign(cdb, cdb + cdbLength);
        lastLength = dataLength;
        if (!fill.empty())
            std::memcpy(data, fill.data(), std::min<size_t>(fill.size(), dataLength));
        return reply;
    }
    std::string productName() const override { return "SCRIPTED"; }
};

RingCommand commandOf(const std::vector<uint8_t>& cdb, size_t dataLength)
{
    RingCommand command;
    command.cdb = cdb.data();
    command.cdbLength = cdb.size();
    command.data.assign(dataLength, 0xEE);
    return command;
}

TEST(RingTranslation, DataAndShortAnswersPassUnchanged)
{
    ScriptedDrive drive;
    drive.fill = {1, 2, 3, 4};
    drive.reply.transferred = 4;
    const std::vector<uint8_t> cdb = {0x43, 0x02, 0x00, 0, 0, 0, 1, 0x00, 0x0C, 0};
    RingCommand command = commandOf(cdb, 12);
    const Translation t = translate(drive, command);
    EXPECT_EQ(drive.lastCdb, cdb);
    EXPECT_EQ(drive.lastLength, 12u);
    EXPECT_FALSE(t.driveGone);
    EXPECT_EQ(t.answer.status, 0);
    EXPECT_EQ(t.answer.transferred, 4u);  // a short answer stays short: the ring reports the residue
    EXPECT_EQ(command.data[3], 4);
    EXPECT_EQ(traceLine(command, t.answer), "READ TOC/PMA/ATIP [43 02 00 00 00 00 01 00 0C 00] len 12 -> GOOD 4");
}

TEST(RingTranslation, FailuresKeepTheirSenseAndSendNoData)
{
    ScriptedDrive drive;
    drive.reply = vdrive::checkCondition(vdrive::kInvalidOpcode);
    drive.reply.transferred = 100;  // nothing of a failed command may reach the reader
    const std::vector<uint8_t> cdb = {0xFF, 0, 0, 0, 0, 0};
    RingCommand command = commandOf(cdb, 8);
    const Translation t = translate(drive, command);
    EXPECT_EQ(t.answer.status, 2);
    EXPECT_EQ(t.answer.transferred, 0u);
    EXPECT_EQ(t.answer.sense[2], 0x05);
    EXPECT_EQ(t.answer.sense[12], 0x20);
    EXPECT_EQ(traceLine(command, t.answer), "(unknown) [FF 00 00 00 00 00] len 8 -> CHECK 5/20/00");
}

TEST(RingTranslation, GoneDriveAndEmptyReads)
{
    ScriptedDrive drive;
    drive.reply.transportFailure = true;
    const std::vector<uint8_t> read = {0xBE, 0, 0, 0, 0, 5, 0, 0, 1, 0x10, 0, 0};
    RingCommand command = commandOf(read, 2352);
    Translation t = translate(drive, command);
    EXPECT_TRUE(t.driveGone);
    EXPECT_EQ(t.answer.status, 2);
    EXPECT_EQ(t.answer.sense[2], 0x04);
    EXPECT_EQ(t.answer.sense[12], 0x3E);
    EXPECT_EQ(t.answer.sense[13], 0x01);

    // A read that brings nothing fails; any other command may answer GOOD empty.
    drive.reply = vdrive::ScsiReply{};
    t = translate(drive, command);
    EXPECT_FALSE(t.driveGone);
    EXPECT_EQ(t.answer.status, 2);
    EXPECT_EQ(t.answer.sense[2], 0x03);
    EXPECT_EQ(t.answer.sense[12], 0x11);
    const std::vector<uint8_t> tur = {0x00, 0, 0, 0, 0, 0};
    RingCommand ready = commandOf(tur, 0);
    EXPECT_EQ(translate(drive, ready).answer.status, 0);
    const std::vector<uint8_t> modeSense = {0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 8, 0};
    RingCommand sense = commandOf(modeSense, 8);
    EXPECT_EQ(translate(drive, sense).answer.status, 0);
}

}  // namespace
}  // namespace rilvane::kerneldrive
