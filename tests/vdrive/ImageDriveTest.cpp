#include "TempDir.h"

#include "DiscGenerator.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

using namespace rilvane::vdrive;
using namespace rilvane::makedisc;

namespace {

using Cdb = std::array<uint8_t, 12>;

Cdb readCdCdb(int32_t lba, uint32_t count, uint8_t flags = 0x10, uint8_t type = 0)
{
    const auto a = static_cast<uint32_t>(lba);
    return {0xBE,
            static_cast<uint8_t>(type << 2),
            static_cast<uint8_t>(a >> 24),
            static_cast<uint8_t>(a >> 16),
            static_cast<uint8_t>(a >> 8),
            static_cast<uint8_t>(a),
            static_cast<uint8_t>(count >> 16),
            static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count),
            flags,
            0,
            0};
}

Cdb readTocCdb(uint8_t startTrack = 0, uint16_t allocation = 0x0800, uint8_t byte1 = 0, uint8_t format = 0)
{
    return {0x43, byte1, format, 0, 0, 0, startTrack, static_cast<uint8_t>(allocation >> 8),
            static_cast<uint8_t>(allocation), 0, 0, 0};
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Runs the command once and checks a CHECK CONDITION with the given sense.
#define EXPECT_SENSE(command, k, a, q)                    \
    do {                                                  \
        const ScsiReply r_ = (command);                   \
        EXPECT_FALSE(r_.transportFailure);                \
        EXPECT_EQ(r_.status, 2);                          \
        EXPECT_EQ(r_.senseLength, 18u);                   \
        EXPECT_EQ(r_.sense[0], 0x70);                     \
        EXPECT_EQ(r_.sense[7], 10);                       \
        EXPECT_EQ(r_.sense[2], k);                        \
        EXPECT_EQ(r_.sense[12], a);                       \
        EXPECT_EQ(r_.sense[13], q);                       \
        EXPECT_EQ(r_.transferred, 0u);                    \
    } while (0)

class ImageDriveTest : public ::testing::Test {
protected:
    // Makes a disc, loads it and keeps the BIN's bytes to compare against.
    void load(DiscPlan plan)
    {
        plan.out = dir.file("disc");
        std::string error;
        ASSERT_TRUE(writeDisc(plan, disc, error)) << error;
        drive = VirtualDrive::load(disc.cuePath, disc.defectsPath, error);
        ASSERT_TRUE(drive) << error;
        bin = readFile(disc.binPaths.front());
    }

    ScsiReply run(const uint8_t* cdb, size_t length, uint32_t dataLength)
    {
        buffer.assign(dataLength, 0xEE);
        return drive->execute(cdb, length, buffer.data(), dataLength);
    }
    ScsiReply run(const Cdb& cdb, uint32_t dataLength) { return run(cdb.data(), cdb.size(), dataLength); }

    TempDir dir;
    GeneratedDisc disc;
    std::unique_ptr<VirtualDrive> drive;
    std::vector<uint8_t> bin;
    std::vector<uint8_t> buffer;
};

}  // namespace

TEST_F(ImageDriveTest, InquiryDescribesACdRomDrive)
{
    load({});
    const uint8_t cdb[6] = {0x12, 0, 0, 0, 0xFF, 0};
    const ScsiReply reply = run(cdb, 6, 255);
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.senseLength, 0u);
    ASSERT_EQ(reply.transferred, 36u);
    EXPECT_EQ(buffer[0], 0x05);          // CD/DVD device
    EXPECT_EQ(buffer[1], 0x80);          // removable
    EXPECT_EQ(buffer[3] & 0x0F, 0x02);   // response data format
    EXPECT_EQ(buffer[4], 31);            // additional length
    EXPECT_EQ(std::string(buffer.begin() + 8, buffer.begin() + 16), "RILVANE ");
    EXPECT_EQ(std::string(buffer.begin() + 16, buffer.begin() + 32), "Virtual CD-ROM  ");
    EXPECT_EQ(buffer[36], 0xEE);         // nothing written beyond the answer
    EXPECT_EQ(drive->productName(), "Virtual CD-ROM");

    // The allocation length and the caller's buffer both cut the answer.
    const uint8_t shortCdb[6] = {0x12, 0, 0, 0, 5, 0};
    EXPECT_EQ(run(shortCdb, 6, 255).transferred, 5u);
    EXPECT_EQ(buffer[5], 0xEE);
    EXPECT_EQ(run(cdb, 6, 20).transferred, 20u);
}

TEST_F(ImageDriveTest, InquiryNameIsPaddedAndCut)
{
    DiscPlan plan;
    plan.name = "A Very Long Drive Name Indeed";
    load(plan);
    const uint8_t cdb[6] = {0x12, 0, 0, 0, 0xFF, 0};
    ASSERT_EQ(run(cdb, 6, 255).transferred, 36u);
    EXPECT_EQ(std::string(buffer.begin() + 16, buffer.begin() + 32), "A Very Long Driv");
    EXPECT_EQ(drive->productName(), "A Very Long Driv");

    TempDir other;
    DiscPlan shortName;
    shortName.out = other.file("short");
    shortName.name = "Kurz";
    GeneratedDisc generated;
    std::string error;
    ASSERT_TRUE(writeDisc(shortName, generated, error)) << error;
    auto second = VirtualDrive::load(generated.cuePath, generated.defectsPath, error);
    ASSERT_TRUE(second) << error;
    std::vector<uint8_t> data(36);
    ASSERT_EQ(second->execute(cdb, 6, data.data(), 36).transferred, 36u);
    EXPECT_EQ(std::string(data.begin() + 16, data.begin() + 32), "Kurz            ");
}

TEST_F(ImageDriveTest, ReadTocListsTracksAndLeadOut)
{
    DiscPlan plan;
    plan.firstTrack = 2;
    plan.lengths = {300, 400, 500};
    plan.pregap = 150;
    plan.dataTrack = DataTrack::Last;
    load(plan);

    ScsiReply reply = run(readTocCdb(), 2048);
    ASSERT_EQ(reply.status, 0);
    ASSERT_EQ(reply.transferred, 4u + 8 * 4);
    EXPECT_EQ(buffer[0] << 8 | buffer[1], 2 + 8 * 4);
    EXPECT_EQ(buffer[2], 2);
    EXPECT_EQ(buffer[3], 4);
    const struct {
        uint8_t control;
        uint8_t number;
        uint32_t start;
    } expected[] = {{0x10, 2, 150}, {0x10, 3, 150 + 300 + 150}, {0x14, 4, 150 + 300 + 150 + 400 + 150},
                    {0x14, 0xAA, 150 + 300 + 150 + 400 + 150 + 500}};
    for (size_t k = 0; k < 4; ++k) {
        const uint8_t* d = &buffer[4 + 8 * k];
        EXPECT_EQ(d[0], 0) << k;
        EXPECT_EQ(d[1], expected[k].control) << k;
        EXPECT_EQ(d[2], expected[k].number) << k;
        EXPECT_EQ(d[3], 0) << k;
        EXPECT_EQ(be32(d + 4), expected[k].start) << k;
    }
    EXPECT_EQ(buffer[4 + 8 * 4], 0xEE);
    EXPECT_EQ(disc.leadOut, 1650);

    // From track 3 on: two tracks and the lead-out; the header stays the disc's.
    reply = run(readTocCdb(3), 2048);
    ASSERT_EQ(reply.transferred, 4u + 8 * 3);
    EXPECT_EQ(buffer[1], 2 + 8 * 3);
    EXPECT_EQ(buffer[2], 2);
    EXPECT_EQ(buffer[4 + 2], 3);
    // Only the lead-out.
    reply = run(readTocCdb(0xAA), 2048);
    ASSERT_EQ(reply.transferred, 12u);
    EXPECT_EQ(buffer[6], 0xAA);
    // A start beyond the last track is refused.
    EXPECT_SENSE(run(readTocCdb(5), 2048), 0x05, 0x24, 0x00);
}

TEST_F(ImageDriveTest, ReadTocHonoursAllocationLengthAndRefusesOtherForms)
{
    load({});
    ScsiReply reply = run(readTocCdb(0, 12), 2048);
    ASSERT_EQ(reply.status, 0);
    EXPECT_EQ(reply.transferred, 12u);
    EXPECT_EQ(buffer[1], 2 + 8 * 4);  // the header still tells the full length
    EXPECT_EQ(buffer[12], 0xEE);
    EXPECT_EQ(run(readTocCdb(0, 2048), 7).transferred, 7u);
    EXPECT_EQ(run(readTocCdb(0, 0), 2048).transferred, 0u);

    EXPECT_SENSE(run(readTocCdb(0, 2048, 0, 3), 2048), 0x05, 0x24, 0x00);    // PMA: none on a pressed disc
    EXPECT_SENSE(run(readTocCdb(0, 2048, 0, 4), 2048), 0x05, 0x24, 0x00);    // ATIP: none either
    EXPECT_SENSE(run(readTocCdb().data(), 9, 2048), 0x05, 0x24, 0x00);       // CDB too short
}

TEST_F(ImageDriveTest, ReadCdReturnsTheImageBitForBit)
{
    DiscPlan plan;
    plan.stamp = true;
    load(plan);
    ASSERT_EQ(bin.size(), 4500u * 2352);

    // Ten sectors at the start, across a track boundary, and at the very end.
    for (int32_t lba : {0, 1495, 4490}) {
        const ScsiReply reply = run(readCdCdb(lba, 10), 23520);
        ASSERT_EQ(reply.status, 0) << lba;
        ASSERT_EQ(reply.transferred, 23520u) << lba;
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + lba * 2352)) << lba;
        EXPECT_EQ(buffer[0] | buffer[1] << 8, lba);  // the stamp of the first sector
    }
    // Raw flags give the same bytes for audio; expected type CD-DA is fine.
    ASSERT_EQ(run(readCdCdb(3000, 2, 0xF8, 1), 4704).transferred, 4704u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 3000 * 2352));

    // A short buffer gets what fits.
    const ScsiReply partial = run(readCdCdb(100, 10), 5000);
    EXPECT_EQ(partial.status, 0);
    EXPECT_EQ(partial.transferred, 5000u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 100 * 2352));

    // No user data selected, or no sectors: good status, nothing sent.
    EXPECT_EQ(run(readCdCdb(100, 10, 0x00), 23520).transferred, 0u);
    EXPECT_EQ(run(readCdCdb(100, 0), 23520).status, 0);
    // C2 error pointers follow every sector, all clear.
    ASSERT_EQ(run(readCdCdb(100, 1, 0x12), 2352 + 294).transferred, 2352u + 294);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2352, bin.begin() + 100 * 2352));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 2352, buffer.end()), std::vector<uint8_t>(294, 0));
}

TEST_F(ImageDriveTest, ReadCdOnDataTrack)
{
    DiscPlan plan;
    plan.dataTrack = DataTrack::First;
    plan.lengths = {100, 100};
    load(plan);

    // User data of a Mode 1 sector is bytes 16 .. 2063 of the raw sector.
    ScsiReply reply = run(readCdCdb(10, 2), 23520);
    ASSERT_EQ(reply.status, 0);
    ASSERT_EQ(reply.transferred, 2u * 2048);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2048, bin.begin() + 10 * 2352 + 16));
    EXPECT_TRUE(std::equal(buffer.begin() + 2048, buffer.begin() + 4096, bin.begin() + 11 * 2352 + 16));

    reply = run(readCdCdb(10, 1, 0xF8), 2352);
    ASSERT_EQ(reply.transferred, 2352u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 10 * 2352));

    // Header and user data: 2052 bytes from byte 12 on.
    reply = run(readCdCdb(10, 1, 0x30), 4000);
    ASSERT_EQ(reply.transferred, 2052u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2052, bin.begin() + 10 * 2352 + 12));

    // A read across the boundary: 2048 bytes for the data sector, 2352 for the audio one.
    reply = run(readCdCdb(99, 2), 23520);
    ASSERT_EQ(reply.transferred, 2048u + 2352);
    EXPECT_TRUE(std::equal(buffer.begin() + 2048, buffer.begin() + 4400, bin.begin() + 100 * 2352));

    EXPECT_SENSE(run(readCdCdb(10, 1, 0x10, 1), 2352), 0x05, 0x64, 0x00);   // CD-DA expected
    EXPECT_SENSE(run(readCdCdb(95, 10, 0x10, 1), 23520), 0x05, 0x64, 0x00); // partly data
    EXPECT_SENSE(run(readCdCdb(150, 1, 0x10, 2), 2352), 0x05, 0x64, 0x00);  // Mode 1 expected on audio
    EXPECT_EQ(run(readCdCdb(150, 1, 0x10, 1), 2352).status, 0);
    EXPECT_SENSE(run(readCdCdb(10, 1, 0x90), 2352), 0x05, 0x24, 0x00);      // sync without header
    EXPECT_SENSE(run(readCdCdb(10, 1, 0x10, 6), 2352), 0x05, 0x24, 0x00);   // reserved sector type
}

TEST_F(ImageDriveTest, ReadCdOutsideTheDiscOrWithBadFields)
{
    load({});  // 4500 sectors
    EXPECT_SENSE(run(readCdCdb(-1, 10), 23520), 0x05, 0x21, 0x00);
    EXPECT_SENSE(run(readCdCdb(4491, 10), 23520), 0x05, 0x21, 0x00);
    EXPECT_SENSE(run(readCdCdb(4500, 1), 23520), 0x05, 0x21, 0x00);
    EXPECT_SENSE(run(readCdCdb(0x7FFFFFFF, 0xFFFFFF), 23520), 0x05, 0x21, 0x00);
    EXPECT_EQ(run(readCdCdb(4490, 10), 23520).status, 0);

    Cdb subChannel = readCdCdb(0, 1);
    subChannel[10] = 0x03;  // reserved sub-channel selection
    EXPECT_SENSE(run(subChannel, 23520), 0x05, 0x24, 0x00);
    EXPECT_SENSE(run(readCdCdb(0, 1, 0x16), 23520), 0x05, 0x24, 0x00);  // reserved C2 code
    EXPECT_SENSE(run(readCdCdb(0, 1).data(), 10, 23520), 0x05, 0x24, 0x00);

    // No data buffer at all: the command still answers, with nothing sent.
    const Cdb cdb = readCdCdb(0, 10);
    EXPECT_EQ(drive->execute(cdb.data(), 12, nullptr, 23520).transferred, 0u);
}

TEST_F(ImageDriveTest, OtherCommandsAreIllegalRequests)
{
    load({});
    const uint8_t testUnitReady[6] = {0, 0, 0, 0, 0, 0};
    const ScsiReply ready = run(testUnitReady, 6, 0);
    EXPECT_EQ(ready.status, 0);
    EXPECT_EQ(ready.senseLength, 0u);

    // A reading drive writes nothing, formats nothing and has no diagnostics.
    const uint8_t write10[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    EXPECT_SENSE(run(write10, 10, 2048), 0x05, 0x20, 0x00);
    const uint8_t sendDiagnostic[6] = {0x1D, 0x04, 0, 0, 0, 0};
    EXPECT_SENSE(run(sendDiagnostic, 6, 0), 0x05, 0x20, 0x00);
    const uint8_t vendor[10] = {0xC7, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_SENSE(run(vendor, 10, 64), 0x05, 0x20, 0x00);
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 0xFF, 0};
    EXPECT_SENSE(run(inquiry, 5, 255), 0x05, 0x24, 0x00);
    EXPECT_SENSE(run(inquiry, 0, 255), 0x05, 0x24, 0x00);
    EXPECT_SENSE(drive->execute(nullptr, 12, nullptr, 0), 0x05, 0x24, 0x00);
    const uint8_t inquiryPage[6] = {0x12, 0, 0x80, 0, 0xFF, 0};
    EXPECT_SENSE(run(inquiryPage, 6, 255), 0x05, 0x24, 0x00);
}

TEST_F(ImageDriveTest, DefectsFailReadsThatTouchThem)
{
    DiscPlan plan;
    plan.defects = {"1000-1009 03/11/00 5", "2005 02/04/01", "3000-3999 gone"};
    load(plan);

    // Every read block that touches the range fails, with no data.
    for (int32_t lba : {991, 1000, 1009}) {
        EXPECT_SENSE(run(readCdCdb(lba, 10), 23520), 0x03, 0x11, 0x00);
        EXPECT_EQ(buffer[0], 0xEE) << lba;
    }
    EXPECT_EQ(run(readCdCdb(990, 10), 23520).status, 0);
    EXPECT_EQ(run(readCdCdb(1010, 10), 23520).status, 0);
    EXPECT_SENSE(run(readCdCdb(2000, 10), 23520), 0x02, 0x04, 0x01);

    const ScsiReply gone = run(readCdCdb(3995, 10), 23520);
    EXPECT_TRUE(gone.transportFailure);
    EXPECT_EQ(gone.transferred, 0u);
    // The rest of the disc still answers.
    const ScsiReply after = run(readCdCdb(4000, 10), 23520);
    EXPECT_FALSE(after.transportFailure);
    EXPECT_EQ(after.status, 0);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 4000 * 2352));
    // A read outside the disc is refused before the defects are looked at.
    EXPECT_SENSE(run(readCdCdb(3995, 1000), 23520), 0x05, 0x21, 0x00);

    // A defect slower than the caller's time limit ends at the limit, timed
    // out, as the kernel ends a command to a real drive; one within it fails
    // as configured.
    drive->setTimeLimit(2);
    const ScsiReply slow = run(readCdCdb(1000, 10), 23520);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_FALSE(slow.transportFailure);
    EXPECT_EQ(slow.transferred, 0u);
    drive->setTimeLimit(5);
    EXPECT_SENSE(run(readCdCdb(1000, 10), 23520), 0x03, 0x11, 0x00);
}

TEST_F(ImageDriveTest, InquiryAndTocDefects)
{
    DiscPlan plan;
    plan.defects = {"inquiry 04/44/00", "toc gone"};
    load(plan);
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 0xFF, 0};
    EXPECT_SENSE(run(inquiry, 6, 255), 0x04, 0x44, 0x00);
    EXPECT_TRUE(run(readTocCdb(), 2048).transportFailure);
    EXPECT_EQ(run(readCdCdb(0, 10), 23520).status, 0);

    TempDir other;
    DiscPlan tocPlan;
    tocPlan.out = other.file("t");
    tocPlan.defects = {"toc 02/3A/00"};
    GeneratedDisc generated;
    std::string error;
    ASSERT_TRUE(writeDisc(tocPlan, generated, error)) << error;
    auto second = VirtualDrive::load(generated.cuePath, generated.defectsPath, error);
    ASSERT_TRUE(second) << error;
    std::vector<uint8_t> data(2048);
    const Cdb toc = readTocCdb();
    EXPECT_SENSE(second->execute(toc.data(), 10, data.data(), 2048), 0x02, 0x3A, 0x00);
    EXPECT_EQ(second->execute(inquiry, 6, data.data(), 255).transferred, 36u);
}

// A drive without a disc, then spinning up, then reporting the change, as a
// real drive answers after a disc is put in; INQUIRY is answered throughout.
TEST_F(ImageDriveTest, StartupAnswersComeInOrderThenTheDiscAnswers)
{
    DiscPlan plan;
    plan.defects = {"startup 02/3A/01 2", "startup 02/04/01 1", "startup 06/28/00 1"};
    load(plan);
    const uint8_t inquiry[6] = {0x12, 0, 0, 0, 0xFF, 0};
    EXPECT_SENSE(run(readTocCdb(), 2048), 0x02, 0x3A, 0x01);
    EXPECT_EQ(run(inquiry, 6, 255).status, 0);
    EXPECT_SENSE(run(readCdCdb(0, 10), 23520), 0x02, 0x3A, 0x01);
    EXPECT_SENSE(run(readCdCdb(0, 10), 23520), 0x02, 0x04, 0x01);
    EXPECT_SENSE(run(readTocCdb(), 2048), 0x06, 0x28, 0x00);
    EXPECT_EQ(run(readTocCdb(), 2048).status, 0);
    EXPECT_EQ(run(readCdCdb(0, 10), 23520).status, 0);

    // Without a count the drive stays without a disc.
    TempDir other;
    DiscPlan empty;
    empty.out = other.file("e");
    empty.defects = {"startup 02/3A/02"};
    GeneratedDisc generated;
    std::string error;
    ASSERT_TRUE(writeDisc(empty, generated, error)) << error;
    auto noDisc = VirtualDrive::load(generated.cuePath, generated.defectsPath, error);
    ASSERT_TRUE(noDisc) << error;
    std::vector<uint8_t> data(23520);
    const Cdb read = readCdCdb(0, 10);
    for (int i = 0; i < 3; ++i)
        EXPECT_SENSE(noDisc->execute(read.data(), 12, data.data(), 23520), 0x02, 0x3A, 0x02);
}

TEST_F(ImageDriveTest, DescriptorSenseAndShortReads)
{
    DiscPlan plan;
    plan.defects = {"sense descriptor", "1000 03/11/05", "2000-2004 short 2352"};
    load(plan);
    const ScsiReply failed = run(readCdCdb(1000, 10), 23520);
    EXPECT_EQ(failed.status, 2);
    ASSERT_EQ(failed.senseLength, 8u);
    const uint8_t descriptor[8] = {0x72, 0x03, 0x11, 0x05, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(descriptor), std::end(descriptor), failed.sense));
    // Refusals of the command itself come in the same format.
    const uint8_t unknown[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    const ScsiReply refused = run(unknown, 10, 0);
    EXPECT_EQ(refused.sense[0], 0x72);
    // So do the tray's answers.
    const uint8_t lockTray[6] = {0x1E, 0, 0, 0, 1, 0};
    EXPECT_EQ(run(lockTray, 6, 0).status, 0);
    const uint8_t openTray[6] = {0x1B, 0, 0, 0, 0x02, 0};
    const ScsiReply locked = run(openTray, 6, 0);
    EXPECT_EQ(locked.sense[0], 0x72);
    EXPECT_EQ(locked.sense[1], 0x05);
    EXPECT_EQ(locked.sense[2], 0x53);
    EXPECT_EQ(refused.sense[0], 0x72);
    EXPECT_EQ(refused.sense[1], 0x05);
    EXPECT_EQ(refused.sense[2], 0x20);

    // GOOD, but only the first sector arrives; the rest of the buffer is untouched.
    const ScsiReply shortRead = run(readCdCdb(1995, 10), 23520);
    EXPECT_EQ(shortRead.status, 0);
    EXPECT_EQ(shortRead.transferred, 2352u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2352, bin.begin() + 1995 * 2352));
    EXPECT_EQ(buffer[2352], 0xEE);
    EXPECT_EQ(run(readCdCdb(2005, 10), 23520).transferred, 23520u);
}

TEST_F(ImageDriveTest, BadDefectMapMeansNoDrive)
{
    load({});
    const std::string defects = dir.write("bad.defects", "name Test\n\n500-400 03/11/00\n");
    std::string error;
    EXPECT_FALSE(VirtualDrive::load(disc.cuePath, defects, error));
    EXPECT_EQ(error.rfind(defects + ":3: ", 0), 0u) << error;
    EXPECT_FALSE(VirtualDrive::load(disc.cuePath, dir.file("missing.defects"), error));
    EXPECT_NE(error.find("missing.defects: cannot open"), std::string::npos) << error;
}

TEST_F(ImageDriveTest, ThreadsReadingAtOnceGetTheirOwnSectors)
{
    DiscPlan plan;
    plan.stamp = true;
    load(plan);
    std::vector<std::thread> threads;
    std::array<int, 4> mismatches{};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> data(23520);
            for (int32_t lba = t * 1000; lba < t * 1000 + 500; lba += 10) {
                const Cdb cdb = readCdCdb(lba, 10);
                const ScsiReply reply = drive->execute(cdb.data(), 12, data.data(), 23520);
                if (reply.status != 0 || !std::equal(data.begin(), data.end(), bin.begin() + lba * 2352))
                    ++mismatches[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, (std::array<int, 4>{}));
}

// Flaky sectors fail their first reads, counted per sector, and a read
// touching one with failures left fails as a whole; corrupt sectors answer
// GOOD with wrong bytes, different each time, and the C2 pointers name
// exactly those bytes; the cache answers a re-read with what it holds.
TEST_F(ImageDriveTest, FlakyCorruptC2AndCache)
{
    DiscPlan plan;
    plan.stamp = true;
    plan.defects = {"100-101 flaky 2 03/02/00", "200 corrupt 2", "cache 20"};
    load(plan);
    const uint32_t withC2 = 2352 + 294;

    // Both sectors count each read that touches them.
    EXPECT_SENSE(run(readCdCdb(95, 10), 23520), 0x03, 0x02, 0x00);
    EXPECT_SENSE(run(readCdCdb(100, 2), 2 * 2352), 0x03, 0x02, 0x00);
    EXPECT_EQ(run(readCdCdb(101, 1), 2352).status, 0);
    EXPECT_EQ(run(readCdCdb(100, 1), 2352).status, 0);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 100 * 2352));

    // Corrupt: two wrong readings, different from each other, with the C2
    // pointer bits set for exactly the wrong bytes; then the right one.
    std::vector<std::vector<uint8_t>> readings;
    for (int i = 0; i < 3; ++i) {
        // Read 30 other sectors first, or the cache answers.
        for (int32_t lba = 1000; lba < 1030; lba += 10) ASSERT_EQ(run(readCdCdb(lba, 10), 23520).status, 0);
        ASSERT_EQ(run(readCdCdb(200, 1, 0x12), withC2).transferred, withC2);
        readings.push_back(buffer);
        int wrong = 0;
        for (int b = 0; b < 2352; ++b) {
            const bool differs = buffer[b] != bin[200 * 2352 + b];
            const bool flagged = (buffer[2352 + b / 8] & (0x80 >> (b % 8))) != 0;
            EXPECT_EQ(differs, flagged) << "read " << i << " byte " << b;
            wrong += differs;
        }
        EXPECT_EQ(wrong > 0, i < 2) << i;
    }
    EXPECT_NE(readings[0], readings[1]);
    // The block error byte variant: 294 pointer bytes, their or, a pad byte.
    ASSERT_EQ(run(readCdCdb(201, 1, 0x14), 2352 + 296).transferred, 2352u + 296u);

    // The cache: a wrong reading comes back as it was, with clear pointers.
    DiscPlan cached;
    cached.out = dir.file("cached");
    cached.stamp = true;
    cached.defects = {"300 corrupt 1", "cache 5"};
    GeneratedDisc cachedDisc;
    std::string error;
    ASSERT_TRUE(writeDisc(cached, cachedDisc, error)) << error;
    drive = VirtualDrive::load(cachedDisc.cuePath, cachedDisc.defectsPath, error);
    ASSERT_TRUE(drive) << error;
    bin = readFile(cachedDisc.binPaths.front());
    ASSERT_EQ(run(readCdCdb(300, 1), 2352).status, 0);
    const std::vector<uint8_t> wrong = buffer;
    EXPECT_FALSE(std::equal(wrong.begin(), wrong.end(), bin.begin() + 300 * 2352));
    ASSERT_EQ(run(readCdCdb(300, 1, 0x12), withC2).status, 0);
    EXPECT_TRUE(std::equal(wrong.begin(), wrong.end(), buffer.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 2352, buffer.end(), [](uint8_t b) { return b == 0; }));
    // Five other sectors push it out: the disc answers again, correctly.
    ASSERT_EQ(run(readCdCdb(400, 5), 5 * 2352).status, 0);
    ASSERT_EQ(run(readCdCdb(300, 1), 2352).status, 0);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 300 * 2352));
}

// The capabilities page says whether the drive reports C2 pointers; a
// drive that cannot refuses a READ CD that asks for them.
TEST_F(ImageDriveTest, CapabilitiesPageAndDriveWithoutC2)
{
    const Cdb modeSense{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 0x40, 0, 0, 0};
    for (const bool c2 : {true, false}) {
        DiscPlan plan;
        plan.out = dir.file(c2 ? "with" : "without");
        if (!c2) plan.defects = {"c2 no"};
        std::string error;
        ASSERT_TRUE(writeDisc(plan, disc, error)) << error;
        drive = VirtualDrive::load(disc.cuePath, disc.defectsPath, error);
        ASSERT_TRUE(drive) << error;
        const ScsiReply reply = run(modeSense, 0x40);
        ASSERT_EQ(reply.status, 0);
        ASSERT_GE(reply.transferred, 8u + 6u);
        EXPECT_EQ(buffer[8] & 0x3F, 0x2A);
        EXPECT_EQ((buffer[8 + 5] & 0x10) != 0, c2);
        if (c2) {
            EXPECT_EQ(run(readCdCdb(0, 2, 0x12), 2 * (2352 + 294)).status, 0);
        } else {
            EXPECT_SENSE(run(readCdCdb(0, 2, 0x12), 2 * (2352 + 294)), 0x05, 0x24, 0x00);
        }
    }
}

namespace {

Cdb setCdSpeedCdb(uint16_t kilobytesPerSecond)
{
    return {0xBB, 0, static_cast<uint8_t>(kilobytesPerSecond >> 8), static_cast<uint8_t>(kilobytesPerSecond),
            0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
}

Cdb read12Cdb(int32_t lba, uint32_t count, bool fua)
{
    const auto a = static_cast<uint32_t>(lba);
    return {0xA8,
            static_cast<uint8_t>(fua ? 0x08 : 0),
            static_cast<uint8_t>(a >> 24),
            static_cast<uint8_t>(a >> 16),
            static_cast<uint8_t>(a >> 8),
            static_cast<uint8_t>(a),
            static_cast<uint8_t>(count >> 24),
            static_cast<uint8_t>(count >> 16),
            static_cast<uint8_t>(count >> 8),
            static_cast<uint8_t>(count),
            0,
            0};
}

const Cdb kCapabilities{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 0x40, 0, 0, 0};

}  // namespace

// The speed: the capabilities page names top and current speed, SET CD
// SPEED takes the nearest whole speed up to the top, and slow sectors read
// only when the drive is slow enough. A read from the disc takes its time;
// the same sectors from the cache do not.
TEST_F(ImageDriveTest, SpeedSlowSectorsAndTheTimeReadsTake)
{
    DiscPlan plan;
    plan.stamp = true;
    plan.defects = {"speed 24", "2000-2009 slow 8", "cache 100"};
    load(plan);
    auto speeds = [&] {
        EXPECT_EQ(run(kCapabilities, 0x40).status, 0);
        return std::pair<int, int>{buffer[16] << 8 | buffer[17], buffer[22] << 8 | buffer[23]};
    };
    EXPECT_EQ(speeds(), (std::pair<int, int>{4234, 4234}));  // 24 x 176.4 kB/s

    EXPECT_SENSE(run(readCdCdb(2005, 1), 2352), 0x03, 0x11, 0x00);
    EXPECT_SENSE(run(readCdCdb(1995, 10), 23520), 0x03, 0x11, 0x00);  // touches 2000
    EXPECT_EQ(run(setCdSpeedCdb(9 * 176), 0).status, 0);
    EXPECT_EQ(speeds().second, 1588);
    EXPECT_SENSE(run(readCdCdb(2005, 1), 2352), 0x03, 0x11, 0x00);
    EXPECT_EQ(run(setCdSpeedCdb(8 * 176), 0).status, 0);              // 1408 kB/s: still 8x
    EXPECT_EQ(speeds(), (std::pair<int, int>{4234, 1411}));
    ASSERT_EQ(run(readCdCdb(2000, 10), 23520).status, 0);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 2000 * 2352));
    EXPECT_EQ(run(setCdSpeedCdb(0xFFFF), 0).status, 0);
    EXPECT_EQ(speeds().second, 4234);
    EXPECT_EQ(run(setCdSpeedCdb(52 * 177), 0).status, 0);             // more than the drive can
    EXPECT_EQ(speeds().second, 4234);
    EXPECT_EQ(run(setCdSpeedCdb(0), 0).status, 0);                    // the slowest it has
    EXPECT_EQ(speeds().second, 176);
    EXPECT_SENSE(run(setCdSpeedCdb(0).data(), 10, 0), 0x05, 0x24, 0x00);

    // At 1x one sector takes 1/75 s, and the drive reads an eighth of its
    // cache ahead (12 sectors); those come from the cache at once.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    ASSERT_EQ(run(readCdCdb(3000, 1), 2352).status, 0);
    const Clock::duration fromDisc = Clock::now() - started;
    EXPECT_GE(fromDisc, std::chrono::milliseconds(13 * 1000 / 75));
    const Clock::time_point again = Clock::now();
    ASSERT_EQ(run(readCdCdb(3001, 12), 12 * 2352).status, 0);
    EXPECT_LT(Clock::now() - again, fromDisc / 2);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 3001 * 2352));

    // Without a 'speed' line the drive names 40x, and slow sectors still
    // need the drive slowed down.
    DiscPlan untimed;
    untimed.defects = {"10 slow 4"};
    load(untimed);
    EXPECT_EQ(speeds(), (std::pair<int, int>{7056, 7056}));
    EXPECT_SENSE(run(readCdCdb(10, 1), 2352), 0x03, 0x11, 0x00);
    EXPECT_EQ(run(setCdSpeedCdb(4 * 177), 0).status, 0);
    EXPECT_EQ(run(readCdCdb(10, 1), 2352).status, 0);
}

// C2 in one form only, and a drive whose pointers are always clean.
TEST_F(ImageDriveTest, C2FormsAndLyingPointers)
{
    for (const char* form : {"c2 294", "c2 296", "c2 lies"}) {
        DiscPlan plan;
        plan.stamp = true;
        plan.defects = {form, "100 corrupt 1"};
        load(plan);
        const std::string f = form;
        ASSERT_EQ(run(kCapabilities, 0x40).status, 0);
        EXPECT_NE(buffer[8 + 5] & 0x10, 0) << form;  // every one of them claims C2
        const ScsiReply with294 = run(readCdCdb(0, 1, 0x12), 2352 + 294);
        const ScsiReply with296 = run(readCdCdb(0, 1, 0x14), 2352 + 296);
        if (f == "c2 296") {
            EXPECT_SENSE(run(readCdCdb(0, 1, 0x12), 2352 + 294), 0x05, 0x24, 0x00);
        } else {
            EXPECT_EQ(with294.status, 0) << form;
        }
        if (f == "c2 294") {
            EXPECT_SENSE(run(readCdCdb(0, 1, 0x14), 2352 + 296), 0x05, 0x24, 0x00);
        } else {
            EXPECT_EQ(with296.status, 0) << form;
        }
        const uint8_t flags = f == "c2 296" ? 0x14 : 0x12;
        const uint32_t length = f == "c2 296" ? 2352 + 296 : 2352 + 294;
        ASSERT_EQ(run(readCdCdb(100, 1, flags), length).status, 0);
        EXPECT_FALSE(std::equal(buffer.begin(), buffer.begin() + 2352, bin.begin() + 100 * 2352)) << form;
        const bool clean = std::all_of(buffer.begin() + 2352, buffer.end(), [](uint8_t b) { return b == 0; });
        EXPECT_EQ(clean, f == "c2 lies") << form;
    }
}

// The cache reads ahead, but only as far as its readings come out right;
// READ(12) with FUA empties it only on a drive that honours FUA. Either way
// READ(12) reads data sectors as 2048-byte blocks and refuses audio ones.
TEST_F(ImageDriveTest, ReadAheadAndForceUnitAccess)
{
    for (const bool fua : {true, false}) {
        DiscPlan plan;
        plan.stamp = true;
        plan.defects = {fua ? "cache 800 fua" : "cache 800", "100 corrupt 1", "120 corrupt 1", "300 flaky 1"};
        load(plan);
        // The wrong reading of 100 is cached; read-ahead stops before 120.
        ASSERT_EQ(run(readCdCdb(100, 1), 2352).status, 0);
        const std::vector<uint8_t> wrong = buffer;
        EXPECT_FALSE(std::equal(wrong.begin(), wrong.end(), bin.begin() + 100 * 2352));
        EXPECT_EQ(run(read12Cdb(100, 0, fua), 0).status, 0);
        EXPECT_SENSE(run(read12Cdb(100, 1, true), 2048), 0x05, 0x64, 0x00);  // audio
        ASSERT_EQ(run(readCdCdb(100, 1), 2352).status, 0);
        EXPECT_EQ(buffer == wrong, !fua) << fua;
        ASSERT_EQ(run(readCdCdb(120, 1), 2352).status, 0);
        EXPECT_FALSE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 120 * 2352));
        // 280 brings 281..299 in, not the flaky 300: its failure is still to come.
        ASSERT_EQ(run(readCdCdb(280, 1), 2352).status, 0);
        EXPECT_SENSE(run(readCdCdb(300, 1), 2352), 0x03, 0x11, 0x00);
        // A READ(12) without FUA leaves the cache alone.
        EXPECT_EQ(run(read12Cdb(0, 0, false), 0).status, 0);
        ASSERT_EQ(run(readCdCdb(120, 1), 2352).status, 0);
        EXPECT_FALSE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 120 * 2352));
    }

    DiscPlan data;
    data.dataTrack = DataTrack::First;
    data.lengths = {100, 100};
    load(data);
    ASSERT_EQ(run(read12Cdb(10, 2, false), 4096).transferred, 4096u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2048, bin.begin() + 10 * 2352 + 16));
    EXPECT_TRUE(std::equal(buffer.begin() + 2048, buffer.end(), bin.begin() + 11 * 2352 + 16));
    EXPECT_SENSE(run(read12Cdb(99, 2, false), 4096), 0x05, 0x64, 0x00);  // into the audio track
    EXPECT_SENSE(run(read12Cdb(199, 2, false), 4096), 0x05, 0x21, 0x00);
    EXPECT_SENSE(run(read12Cdb(0, 1, false).data(), 10, 2048), 0x05, 0x24, 0x00);
}

// A corrupt sector reads wrong differently on another drive made from the
// same files, as a second run of a program meets a fresh drive.
TEST_F(ImageDriveTest, WrongReadingsDoNotRepeatOnAnotherDrive)
{
    DiscPlan plan;
    plan.stamp = true;
    plan.defects = {"100-103 corrupt 1"};
    load(plan);
    ASSERT_EQ(run(readCdCdb(100, 4), 4 * 2352).status, 0);
    const std::vector<uint8_t> first = buffer;
    std::string error;
    drive = VirtualDrive::load(disc.cuePath, disc.defectsPath, error);
    ASSERT_TRUE(drive) << error;
    ASSERT_EQ(run(readCdCdb(100, 4), 4 * 2352).status, 0);
    EXPECT_NE(buffer, first);
    EXPECT_FALSE(std::equal(buffer.begin(), buffer.end(), bin.begin() + 100 * 2352));
}
