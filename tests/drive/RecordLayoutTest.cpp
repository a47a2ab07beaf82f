// The records the drive code hands to the platform and the ASPI layer, and
// the command blocks, byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "drive/AspiSession.h"
#include "drive/AspiTransferBlock.h"
#include "drive/CommandCatalogue.h"
#include "drive/SptiSession.h"

namespace rilvane {
namespace {

std::vector<uint8_t> bytes(const void* data, size_t count)
{
    const auto* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + count);
}

std::vector<uint8_t> cdbOf(const ScsiCommand& command)
{
    return std::vector<uint8_t>(command.cdb.begin(), command.cdb.begin() + command.cdbLength);
}

// The 44-byte header of the pass-through record, as it must look for a
// command with this CDB, data length and time-out.
std::vector<uint8_t> expectedHeader(std::vector<uint8_t> cdb, uint32_t dataLength, uint32_t timeout)
{
    std::vector<uint8_t> h(44, 0);
    h[0] = 44;
    h[6] = static_cast<uint8_t>(cdb.size());
    h[7] = 24;
    h[8] = 1;
    std::memcpy(&h[12], &dataLength, 4);  // little-endian host
    std::memcpy(&h[16], &timeout, 4);
    h[20] = 80;
    h[24] = 48;
    std::copy(cdb.begin(), cdb.end(), h.begin() + 28);
    return h;
}

TEST(CommandCatalogue, CommandBlocks)
{
    const ScsiCommand inquiry = CommandCatalogue::inquiry();
    EXPECT_EQ(cdbOf(inquiry), (std::vector<uint8_t>{0x12, 0, 0, 0, 0xFF, 0}));
    EXPECT_EQ(inquiry.dataLength, 255u);
    EXPECT_EQ(inquiry.timeoutSeconds, 2u);

    const ScsiCommand toc = CommandCatalogue::readToc();
    EXPECT_EQ(cdbOf(toc), (std::vector<uint8_t>{0x43, 0, 0, 0, 0, 0, 0, 0x08, 0, 0}));
    EXPECT_EQ(toc.dataLength, 2048u);
    EXPECT_EQ(toc.timeoutSeconds, 2u);

    const ScsiCommand read500 = CommandCatalogue::readCd(500);
    EXPECT_EQ(cdbOf(read500), (std::vector<uint8_t>{0xBE, 0x04, 0x00, 0x00, 0x01, 0xF4, 0, 0, 0x0A, 0x10, 0, 0}));
    EXPECT_EQ(read500.dataLength, 23520u);
    EXPECT_EQ(read500.timeoutSeconds, 200u);
    EXPECT_EQ(cdbOf(CommandCatalogue::readCd(70000)),
              (std::vector<uint8_t>{0xBE, 0x04, 0x00, 0x01, 0x11, 0x70, 0, 0, 0x0A, 0x10, 0, 0}));
    EXPECT_EQ(cdbOf(CommandCatalogue::readCd(-1)),
              (std::vector<uint8_t>{0xBE, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x0A, 0x10, 0, 0}));

    for (const ScsiCommand& c : {inquiry, toc, read500})
        for (size_t i = c.cdbLength; i < c.cdb.size(); ++i)
            EXPECT_EQ(c.cdb[i], 0) << "byte " << i;
}

TEST(SptiRecord, InquiryAndTocAreFilledOnAZeroedRecord)
{
    SptiSession session;  // not open: the record is filled, nothing is sent
    EXPECT_EQ(SptiSession::devicePath('E'), "\\\\.\\E:");

    struct Case {
        ScsiCommand command;
        std::vector<uint8_t> header;
    };
    const Case cases[] = {
        {CommandCatalogue::inquiry(), expectedHeader({0x12, 0, 0, 0, 0xFF, 0}, 255, 2)},
        {CommandCatalogue::readToc(), expectedHeader({0x43, 0, 0, 0, 0, 0, 0, 0x08, 0, 0}, 2048, 2)},
    };
    for (const Case& c : cases) {
        std::memset(&session.request(), 0xAA, sizeof(SptiRequest));
        EXPECT_FALSE(session.execute(c.command));
        const auto record = bytes(&session.request(), sizeof(SptiRequest));
        EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 44), c.header);
        // Filler, sense area, data area and padding are all zero.
        EXPECT_EQ(std::count(record.begin() + 44, record.end(), 0), static_cast<long>(sizeof(SptiRequest) - 44));
    }
}

TEST(SptiRecord, ReadCdIsPreparedOnceAndRenewedPerRead)
{
    SptiSession session;
    std::memset(&session.request(), 0xAA, sizeof(SptiRequest));
    session.prepareReadCd();
    EXPECT_FALSE(session.readBlock(500));

    SptiRequest& request = session.request();
    const auto record = bytes(&request, sizeof(SptiRequest));
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 44),
              expectedHeader({0xBE, 0x04, 0x00, 0x00, 0x01, 0xF4, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200));
    EXPECT_EQ(std::count(record.begin() + 44, record.begin() + 80, 0), 36);
    EXPECT_EQ(std::count(record.begin() + 80, record.begin() + 80 + 23521, 0xFF), 23521);
    EXPECT_EQ(std::count(record.begin() + 23601, record.end(), 0), 3);

    // What a failed, short call leaves behind: status, sense, a shrunken
    // transfer length and no sense length. The next read renews exactly
    // those and the sector, and keeps the data area as it is.
    request.header.ScsiStatus = 2;
    request.header.DataTransferLength = 100;
    request.header.SenseInfoLength = 0;
    request.sense[2] = 0x03;
    request.sense[12] = 0x11;
    request.data[0] = 0x42;
    EXPECT_FALSE(session.readBlock(70000));
    EXPECT_EQ(std::vector<uint8_t>(bytes(&request, 44)),
              expectedHeader({0xBE, 0x04, 0x00, 0x01, 0x11, 0x70, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200));
    EXPECT_EQ(std::count(request.sense, request.sense + 32, 0), 32);
    EXPECT_EQ(request.data[0], 0x42);
}

TEST(AspiRecord, ExecuteRequestIsZeroedAndFilled)
{
    SRB_ExecSCSICmd request;
    std::memset(&request, 0xAA, sizeof(request));
    DriveRecord drive;
    drive.adapterId = 1;
    drive.targetId = 3;
    AspiSession::fillRequest(request, drive, CommandCatalogue::readCd(500), 0x12340000u, 0x00000017u);

    std::vector<uint8_t> expected(96, 0);
    expected[0] = 2;      // execute a SCSI command
    expected[2] = 1;      // adapter
    expected[3] = 0x48;   // data in, post the event
    expected[8] = 3;      // target
    expected[12] = 0xE0;  // 23520
    expected[13] = 0x5B;
    expected[16] = 0x00;  // window 0x12340000
    expected[17] = 0x00;
    expected[18] = 0x34;
    expected[19] = 0x12;
    expected[20] = 24;    // sense length
    expected[21] = 12;    // CDB length
    expected[24] = 0x17;  // event
    const uint8_t cdb[] = {0xBE, 0x04, 0x00, 0x00, 0x01, 0xF4, 0, 0, 0x0A, 0x10, 0, 0};
    std::copy(std::begin(cdb), std::end(cdb), expected.begin() + 48);
    EXPECT_EQ(bytes(&request, sizeof(request)), expected);

    AspiSession::fillRequest(request, drive, CommandCatalogue::inquiry(), 0x10000u, 5u);
    EXPECT_EQ(request.SRB_BufLen, 255u);
    EXPECT_EQ(request.SRB_CDBLen, 6);
    EXPECT_EQ(bytes(request.CDBByte, 16), (std::vector<uint8_t>{0x12, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(AspiTransferBlock, WindowStartsOnTheNext64KiBBoundary)
{
    EXPECT_EQ(AspiTransferBlock::windowStart(0x00010000u), 0x00010000u);  // already aligned
    EXPECT_EQ(AspiTransferBlock::windowStart(0x12340000u), 0x12340000u);
    EXPECT_EQ(AspiTransferBlock::windowStart(0x00010001u), 0x00020000u);
    EXPECT_EQ(AspiTransferBlock::windowStart(0x1234F000u), 0x12350000u);
    // The worst case still leaves the whole window inside the block.
    const uintptr_t worst = 0x00010001u;
    EXPECT_EQ(AspiTransferBlock::windowStart(worst) + AspiTransferBlock::kWindowBytes,
              worst + AspiTransferBlock::kBlockBytes);

    AspiTransferBlock block;
    ASSERT_TRUE(block.valid());
    const auto address = reinterpret_cast<uintptr_t>(block.window());
    EXPECT_EQ(address % 0x10000u, 0u);
    EXPECT_EQ(block.windowAddress(), address);  // fits the 32-bit field
    block.window()[AspiTransferBlock::kWindowBytes - 1] = 1;  // the whole window is usable
}

}  // namespace
}  // namespace rilvane
