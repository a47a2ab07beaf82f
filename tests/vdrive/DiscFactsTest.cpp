// What a disc says about itself, as the drive reports it: the TOC in its
// other forms, CD-Text packs, the Q sub-channel of each sector (alone, with
// C2 pointers, raw and formatted), and a CUE sheet's facts read back from a
// generated disc. The peers in the kernel tests judge the sum; these name
// the byte that is wrong.
#include "TempDir.h"

#include "DiscGenerator.h"
#include "vdrive/CdText.h"
#include "vdrive/CueSheet.h"
#include "vdrive/SubChannel.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>
#include <vector>

using namespace rilvane::vdrive;
using namespace rilvane::makedisc;

namespace {

// Track 1 has a hidden track of 150 sectors and a pregap of 75 (INDEX 01 at
// 225), tracks 2 and 3 pregaps of 75; every track an INDEX 02 100 sectors in.
DiscPlan richPlan()
{
    DiscPlan plan;
    plan.lengths = {600, 450, 525};
    plan.pregap = 75;
    plan.hiddenTrack = 150;
    plan.index2 = 100;
    plan.catalog = "4006381333931";
    plan.isrcs = {"DEXY12500001", "", "DEXY12500003"};
    plan.title = "Kernel Peers";
    plan.performer = "Rilvane Test";
    plan.trackTitles = {"Erstes", "Zweites", "Drittes"};
    return plan;
}

class DiscFactsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DiscPlan plan = richPlan();
        plan.out = dir.file("disc");
        std::string error;
        ASSERT_TRUE(writeDisc(plan, disc, error)) << error;
        drive = VirtualDrive::load(disc.cuePath, disc.defectsPath, error);
        ASSERT_TRUE(drive) << error;
    }

    ScsiReply run(std::vector<uint8_t> cdb, uint32_t dataLength)
    {
        cdb.resize(cdb[0] >= 0x20 && cdb[0] < 0x60 ? 10 : cdb[0] < 0x20 ? 6 : 12, 0);
        buffer.assign(dataLength, 0xEE);
        return drive->execute(cdb.data(), cdb.size(), buffer.data(), dataLength);
    }

    std::vector<uint8_t> readCd(int32_t lba, uint8_t flags, uint8_t subChannel, uint32_t sectors = 1)
    {
        const auto a = static_cast<uint32_t>(lba);
        const ScsiReply r = run({0xBE, 0, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a), 0, 0,
                                 uint8_t(sectors), flags, subChannel, 0},
                                sectors * (2352 + 296 + 96));
        EXPECT_EQ(r.status, 0);
        return {buffer.begin(), buffer.begin() + r.transferred};
    }

    TempDir dir;
    GeneratedDisc disc;
    std::unique_ptr<VirtualDrive> drive;
    std::vector<uint8_t> buffer;
};

uint16_t crcOf(const uint8_t* q, size_t n)
{
    return static_cast<uint16_t>(~subChannelCrc(q, n));
}

int bcd(uint8_t b)
{
    return (b >> 4) * 10 + (b & 0x0F);
}

}  // namespace

TEST(SubChannelCrc, KnownQFrameOfALeadIn)
{
    // A lead-in Q frame with its CRC as a pressed disc carries it.
    const uint8_t q[12] = {0x01, 0x00, 0xA0, 0x98, 0x06, 0x12, 0x00, 0x01, 0x00, 0x00, 0xE3, 0x74};
    EXPECT_EQ(crcOf(q, 10), 0xE374);
}

TEST_F(DiscFactsTest, TocInMsfFromATrackAndCutShort)
{
    // READ TOC format 0, MSF, from track 2, as the kernel's CDROMREADTOCENTRY asks.
    ScsiReply r = run({0x43, 0x02, 0x00, 0, 0, 0, 2, 0x03, 0x24}, 804);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.transferred, 4u + 3 * 8);  // tracks 2 and 3, the lead-out
    EXPECT_EQ(buffer[2], 1);  // first and last track of the disc, whatever the start
    EXPECT_EQ(buffer[3], 3);
    const int64_t track2 = disc.trackStarts[1] + 150;
    EXPECT_EQ(buffer[6], 2);
    EXPECT_EQ(buffer[9], track2 / 4500);
    EXPECT_EQ(buffer[10], track2 / 75 % 60);
    EXPECT_EQ(buffer[11], track2 % 75);
    EXPECT_EQ(buffer[14], 3);
    EXPECT_EQ(buffer[22], 0xAA);
    // An allocation length of 12 brings the header and one descriptor, no error.
    r = run({0x43, 0x02, 0x00, 0, 0, 0, 1, 0x00, 12}, 804);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.transferred, 12u);
    EXPECT_EQ(buffer[1], 2 + 4 * 8);
    EXPECT_EQ(buffer[12], 0xEE);
    // Hidden track: track 1 starts at its INDEX 01, not at sector 0.
    EXPECT_EQ(disc.trackStarts[0], 225);
}

TEST_F(DiscFactsTest, SessionAndFullToc)
{
    ScsiReply r = run({0x43, 0, 0x01, 0, 0, 0, 0, 0x00, 0xFF}, 255);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.transferred, 12u);
    EXPECT_EQ(buffer[6], 1);
    EXPECT_EQ(buffer[11], 225);

    r = run({0x43, 0, 0x02, 0, 0, 0, 1, 0x08, 0x00}, 2048);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.transferred, 4u + 6 * 11);
    const uint8_t* a0 = &buffer[4];
    EXPECT_EQ(a0[3], 0xA0);
    EXPECT_EQ(a0[8], 1);
    const uint8_t* a1 = a0 + 11;
    EXPECT_EQ(a1[3], 0xA1);
    EXPECT_EQ(a1[8], 3);
    const uint8_t* a2 = a1 + 11;
    EXPECT_EQ(a2[3], 0xA2);
    EXPECT_EQ((a2[8] * 60 + a2[9]) * 75 + a2[10], disc.leadOut + 150);
    const uint8_t* t3 = a2 + 3 * 11;
    EXPECT_EQ(t3[3], 3);
    EXPECT_EQ((t3[8] * 60 + t3[9]) * 75 + t3[10], disc.trackStarts[2] + 150);
}

TEST_F(DiscFactsTest, CdTextPacksCarryTheSheetsText)
{
    const ScsiReply r = run({0x43, 0, 0x05, 0, 0, 0, 0, 0x10, 0x00}, 4096);
    ASSERT_EQ(r.status, 0);
    ASSERT_GT(r.transferred, 4u);
    const size_t packs = (r.transferred - 4) / 18;
    ASSERT_EQ((r.transferred - 4) % 18, 0u);
    EXPECT_EQ(buffer[0] << 8 | buffer[1], static_cast<int>(r.transferred - 2));
    std::string titles;
    std::string performers;
    int sizeInfo = 0;
    for (size_t p = 0; p < packs; ++p) {
        const uint8_t* pack = &buffer[4 + 18 * p];
        EXPECT_EQ(pack[2], p) << "sequence number";
        EXPECT_EQ(crcOf(pack, 16), pack[16] << 8 | pack[17]) << "pack " << p;
        if (pack[0] == 0x80)
            titles.append(reinterpret_cast<const char*>(pack + 4), 12);
        if (pack[0] == 0x81)
            performers.append(reinterpret_cast<const char*>(pack + 4), 12);
        if (pack[0] == 0x8F && pack[1] == 0) {
            ++sizeInfo;
            EXPECT_EQ(pack[5], 1);  // first track
            EXPECT_EQ(pack[6], 3);  // last track
            EXPECT_EQ(pack[8], 3);  // title packs: 34 bytes of text
            EXPECT_EQ(pack[9], 2);  // performer packs: the disc's 13 bytes and 3 empty tracks
        }
        if (pack[0] == 0x8F && pack[1] == 1) {
            EXPECT_EQ(pack[12], packs - 1);  // last sequence number of block 0
        }
    }
    EXPECT_EQ(sizeInfo, 1);
    EXPECT_EQ(titles.substr(0, 34), std::string("Kernel Peers\0Erstes\0Zweites\0Drittes\0", 34));
    EXPECT_EQ(performers.substr(0, 13), std::string("Rilvane Test\0", 13));
    // The title pack that begins inside "Zweites" (at byte 24) names track 2
    // and the characters of it before the pack.
    const uint8_t* third = &buffer[4 + 2 * 18];
    EXPECT_EQ(third[1], 2);
    EXPECT_EQ(third[3], 4);
}

TEST_F(DiscFactsTest, QOfEverySectorAsOnAPressedDisc)
{
    // Formatted Q of the whole disc, without the sectors' data.
    const int64_t leadOut = disc.leadOut;
    ASSERT_EQ(leadOut, 1950);
    const int64_t starts[3] = {225, 900, 1425};
    const int64_t regions[3] = {0, 825, 1350};
    int catalogFrames = 0;
    int isrcFrames = 0;
    int64_t lastCatalog = 0;
    for (int64_t first = 0; first < leadOut; first += 150) {
        const uint32_t count = static_cast<uint32_t>(std::min<int64_t>(150, leadOut - first));
        const std::vector<uint8_t> q = readCd(static_cast<int32_t>(first), 0x00, 0x02, count);
        ASSERT_EQ(q.size(), count * 16u);
        for (uint32_t k = 0; k < count; ++k) {
            const int64_t s = first + k;
            const uint8_t* f = &q[k * 16];
            ASSERT_EQ(crcOf(f, 10), f[10] << 8 | f[11]) << "sector " << s;
            const int t = s >= regions[2] ? 2 : s >= regions[1] ? 1 : 0;
            const bool pregap = s < starts[t];
            EXPECT_EQ(f[15], pregap ? 0x80 : 0x00) << "P in sector " << s;
            const int adr = f[0] & 0x0F;
            if (adr == 2) {
                ++catalogFrames;
                // At least once in about a hundred frames: moved a few on
                // where the hundredth lies at a change of index.
                EXPECT_LE(s - lastCatalog, 103) << "catalogue frames at " << lastCatalog << " and " << s;
                lastCatalog = s;
                const uint8_t mcn[7] = {0x40, 0x06, 0x38, 0x13, 0x33, 0x93, 0x10};
                EXPECT_TRUE(std::equal(mcn, mcn + 7, f + 1)) << "sector " << s;
                EXPECT_EQ(bcd(f[9]), (s + 150) % 75);
                continue;
            }
            if (adr == 3) {
                ++isrcFrames;
                EXPECT_NE(t, 1) << "track 2 has no ISRC";
                EXPECT_FALSE(pregap);
                // D E X Y 1 as 6-bit codes, then 2500001 / 2500003 in BCD.
                EXPECT_EQ(f[1], 0x14 << 2 | 0x15 >> 4);
                EXPECT_EQ(f[2], (0x15 & 0x0F) << 4 | 0x28 >> 2);
                EXPECT_EQ(f[3], (0x28 & 0x03) << 6 | 0x29);
                EXPECT_EQ(f[4], 0x01 << 2);
                EXPECT_EQ(f[5], 0x25);
                EXPECT_EQ(f[8], t == 0 ? 0x10 : 0x30);
                continue;
            }
            ASSERT_EQ(adr, 1) << "sector " << s;
            EXPECT_EQ(bcd(f[1]), t + 1) << "sector " << s;
            const int index = pregap ? 0 : s >= starts[t] + 100 ? 2 : 1;
            EXPECT_EQ(bcd(f[2]), index) << "sector " << s;
            // Counting down through the pregap to 0 in its last frame, up from INDEX 01.
            const int64_t relative = pregap ? starts[t] - 1 - s : s - starts[t];
            EXPECT_EQ((bcd(f[3]) * 60 + bcd(f[4])) * 75 + bcd(f[5]), relative) << "sector " << s;
            EXPECT_EQ((bcd(f[7]) * 60 + bcd(f[8])) * 75 + bcd(f[9]), s + 150) << "sector " << s;
        }
    }
    EXPECT_GE(catalogFrames, 15);
    EXPECT_GE(isrcFrames, 8);
    EXPECT_GT(leadOut - lastCatalog, 0);

    // Audio, C2 pointers and Q together: 2352 + 294 + 16 bytes a sector.
    const std::vector<uint8_t> withC2 = readCd(899, 0x12, 0x02, 2);
    ASSERT_EQ(withC2.size(), 2u * (2352 + 294 + 16));
    EXPECT_EQ(bcd(withC2[2646 + 1]), 2);
    EXPECT_EQ(bcd(withC2[2646 + 2]), 0);
    EXPECT_EQ(bcd(withC2[2662 + 2352 + 294 + 2]), 1);
    // Raw P-W brings the same Q, one bit a byte, and P through the pause.
    const std::vector<uint8_t> raw = readCd(899, 0x10, 0x01, 2);
    ASSERT_EQ(raw.size(), 2u * (2352 + 96));
    const std::vector<uint8_t> formatted = readCd(899, 0x00, 0x02, 2);
    for (int sector = 0; sector < 2; ++sector) {
        const uint8_t* pw = &raw[static_cast<size_t>(sector) * 2448 + 2352];
        for (int i = 0; i < 96; ++i) {
            const int qBit = formatted[static_cast<size_t>(sector) * 16 + i / 8] >> (7 - i % 8) & 1;
            EXPECT_EQ(pw[i] >> 6 & 1, qBit) << "bit " << i;
            EXPECT_EQ(pw[i] >> 7, sector == 0 ? 1 : 0);
            EXPECT_EQ(pw[i] & 0x3F, 0);
        }
    }
}

TEST_F(DiscFactsTest, SubChannelPositionCatalogAndIsrc)
{
    // Position after a read: the last sector read, in the pregap of track 2.
    readCd(850, 0x10, 0x00);
    ScsiReply r = run({0x42, 0x02, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(buffer[1], 0x15);  // no audio status
    EXPECT_EQ(buffer[6], 2);
    EXPECT_EQ(buffer[7], 0);
    EXPECT_EQ((buffer[9] * 60 + buffer[10]) * 75 + buffer[11], 850 + 150);
    EXPECT_EQ((buffer[13] * 60 + buffer[14]) * 75 + buffer[15], 900 - 1 - 850);
    r = run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);  // LBA: negative in the pregap
    EXPECT_EQ(static_cast<int32_t>(buffer[12] << 24 | buffer[13] << 16 | buffer[14] << 8 | buffer[15]), 850 - 900);

    r = run({0x42, 0x00, 0x40, 0x02, 0, 0, 0, 0, 24}, 24);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(buffer[8], 0x80);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&buffer[9]), 13), "4006381333931");
    r = run({0x42, 0x00, 0x40, 0x03, 0, 0, 3, 0, 24}, 24);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(buffer[8], 0x80);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&buffer[9]), 12), "DEXY12500003");
    r = run({0x42, 0x00, 0x40, 0x03, 0, 0, 2, 0, 24}, 24);
    EXPECT_EQ(buffer[8], 0x00);  // track 2 has none
    EXPECT_EQ(run({0x42, 0x00, 0x40, 0x03, 0, 0, 9, 0, 24}, 24).status, 2);
}

TEST_F(DiscFactsTest, PlayMovesTheHeadPauseHoldsItSpeedIsReported)
{
    ASSERT_EQ(run({0x45, 0, 0, 0, 0x03, 0x84, 0, 0x01, 0x2C}, 0).status, 0);  // 300 sectors from 900
    ScsiReply r = run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    EXPECT_EQ(buffer[1], 0x11);  // playing
    const uint32_t at = buffer[8] << 24 | buffer[9] << 16 | buffer[10] << 8 | buffer[11];
    EXPECT_GE(at, 900u);
    EXPECT_LT(at, 1200u);
    ASSERT_EQ(run({0x4B, 0, 0, 0, 0, 0, 0, 0, 0x00}, 0).status, 0);  // pause
    run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    EXPECT_EQ(buffer[1], 0x12);
    const std::vector<uint8_t> paused(buffer.begin() + 8, buffer.begin() + 12);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    EXPECT_TRUE(std::equal(paused.begin(), paused.end(), buffer.begin() + 8));
    ASSERT_EQ(run({0x4E}, 0).status, 0);  // stop
    EXPECT_EQ(run({0x4B, 0, 0, 0, 0, 0, 0, 0, 0x01}, 0).status, 2);  // nothing to resume
    // Stopping the disc (START STOP UNIT, no eject) ends a play too.
    ASSERT_EQ(run({0x45, 0, 0, 0, 0x03, 0x84, 0, 0x01, 0x2C}, 0).status, 0);
    ASSERT_EQ(run({0x1B, 0, 0, 0, 0x00}, 0).status, 0);
    run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    EXPECT_EQ(buffer[1], 0x15);
    // MSF form: 00:14:00 to 00:14:01 is sector 900 alone, where the head stays.
    ASSERT_EQ(run({0x47, 0, 0, 0, 14, 0, 0, 14, 1}, 0).status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_EQ(run({0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 8}, 8).status, 0);  // the mechanism: idle at 900
    EXPECT_EQ(buffer[1], 0x00);
    EXPECT_EQ(buffer[2] << 16 | buffer[3] << 8 | buffer[4], 900);
    run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    EXPECT_EQ(buffer[1], 0x13);  // completed, reported once
    EXPECT_EQ(buffer[11], 900 % 256);
    run({0x42, 0x00, 0x40, 0x01, 0, 0, 0, 0, 16}, 16);
    EXPECT_EQ(buffer[1], 0x15);
    EXPECT_EQ(run({0x45, 0, 0, 0, 0x07, 0x9E, 0, 0x00, 0x10}, 0).status, 2);  // none from the lead-out on

    // SET CD SPEED: 4x asked, 4x in the capabilities page; 0xFFFF the fastest.
    ASSERT_EQ(run({0xBB, 0, 0x02, 0xC4, 0xFF, 0xFF}, 0).status, 0);
    r = run({0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 30}, 30);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(buffer[8 + 14] << 8 | buffer[8 + 15], 708);
    r = run({0x1A, 0, 0x2A, 0, 26}, 26);  // MODE SENSE(6): 4-byte header
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(buffer[4], 0x2A);
    EXPECT_EQ(buffer[4 + 14] << 8 | buffer[4 + 15], 708);
    ASSERT_EQ(run({0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 0).status, 0);
    run({0x5A, 0, 0x2A, 0, 0, 0, 0, 0, 30}, 30);
    EXPECT_EQ(buffer[8 + 14] << 8 | buffer[8 + 15], 7056);
}
