// The sub-channel search against drives that answer wrongly in the ways
// real ones do, which the virtual drive never does: Q frames with a wrong
// CRC, the Q of a neighbouring sector, readings that disagree, a drive whose
// Q has no CRC at all; and CD-Text with a damaged pack.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "drive/CdAudio.h"
#include "drive/CdTextPacks.h"
#include "drive/QFrame.h"
#include "rescue/SubchannelScan.h"
#include "vdrive/CdText.h"
#include "vdrive/CueSheet.h"
#include "vdrive/SubChannel.h"

namespace rilvane::rescue {
namespace {

// Track 1 with a hidden start, track 2 with a 75-sector pregap and INDEX 02,
// track 3 with a 10-sector pregap; ISRC on track 3 and a catalogue number,
// so that ADR 2 and 3 frames stand between the positions.
const char* kSheet = R"(CATALOG 1234567890123
TITLE "Platte"
PERFORMER "Gruppe"
FILE "x.bin" BINARY
  TRACK 01 AUDIO
    TITLE "Eins"
    INDEX 00 00:00:00
    INDEX 01 00:02:00
  TRACK 02 AUDIO
    TITLE "Zwei"
    INDEX 00 00:20:00
    INDEX 01 00:21:00
    INDEX 02 00:25:13
  TRACK 03 AUDIO
    ISRC DEA123456789
    TITLE "Drei"
    INDEX 00 00:40:00
    INDEX 01 00:40:10
)";
constexpr int64_t kSectors = 60 * 75;

vdrive::CueSheet sheet()
{
    std::string error;
    auto s = vdrive::CueSheet::parse(kSheet, "test.cue", error);
    EXPECT_TRUE(s) << error;
    EXPECT_TRUE(s->layout({kSectors}, error)) << error;
    return *s;
}

// A drive that answers READ CD with formatted Q from the sheet's sub-channel,
// passing each answer through `spoil` (the reading's number, the sector, the
// 16 bytes of Q) first.
class QDrive : public BlockReader {
public:
    explicit QDrive(const vdrive::CueSheet& s) : sheet_(s), sub_(sheet_) {}
    std::function<void(int, int32_t, uint8_t*)> spoil;

    bool query(const ScsiCommand& c, std::vector<uint8_t>& out) override
    {
        if (c.cdb[0] != 0xBE || c.cdb[10] != 0x02) return false;
        const int32_t sector = c.cdb[2] << 24 | c.cdb[3] << 16 | c.cdb[4] << 8 | c.cdb[5];
        out.assign(cd::kSectorBytes + QFrame::kBytes, 0);
        sub_.formattedQ(sector, out.data() + cd::kSectorBytes);
        if (spoil) spoil(readings_[sector]++, sector, out.data() + cd::kSectorBytes);
        return true;
    }

protected:
    uint8_t* read(int32_t, int32_t) override { return nullptr; }

private:
    vdrive::CueSheet sheet_;
    vdrive::SubChannel sub_;
    std::map<int32_t, int> readings_;
};

proof::DiscToc tocOf()
{
    proof::DiscToc toc;
    toc.tracks = {{1, 150, 0}, {2, 1575, 0}, {3, 3010, 0}};
    toc.leadOut = kSectors;
    return toc;
}

SubchannelFindings scan(QDrive& drive)
{
    const proof::DiscToc toc = tocOf();
    StopToken stop;
    return SubchannelScan(drive, toc, stop).run();
}

void expectDiscPoints(const SubchannelFindings& f)
{
    ASSERT_EQ(f.facts.tracks.size(), 3u);
    EXPECT_EQ(f.facts.tracks[0].pregapStart, 0);
    EXPECT_TRUE(f.hiddenTrackInQ);
    EXPECT_EQ(f.facts.tracks[1].pregapStart, 1500);
    EXPECT_EQ(f.facts.tracks[1].indexes, std::vector<int32_t>{1888});
    EXPECT_EQ(f.facts.tracks[2].pregapStart, 3000);
    EXPECT_TRUE(f.facts.tracks[2].indexes.empty());
}

TEST(SubchannelScan, FindsEveryPointThroughBadCrcsAndWrongReadings)
{
    QDrive drive(sheet());
    // The first reading of every sector has a wrong CRC, the second a wrong
    // index with a right CRC: only the two later readings are true.
    drive.spoil = [](int reading, int32_t, uint8_t* q) {
        if (reading == 0) q[4] ^= 0x01;
        if (reading == 1 && (q[0] & 0x0F) == QFrame::kAdrPosition) {
            q[2] = vdrive::toBcd(7);
            const uint16_t crc = static_cast<uint16_t>(~QFrame::crc16(q, 10));
            q[10] = static_cast<uint8_t>(crc >> 8);
            q[11] = static_cast<uint8_t>(crc);
        }
    };
    const SubchannelFindings f = scan(drive);
    expectDiscPoints(f);
    EXPECT_GT(f.qBadCrc, 0);
}

TEST(SubchannelScan, DisagreeingOrUncheckedQInventsNothing)
{
    // Every reading of a sector differs from the others: nothing is given twice.
    QDrive drive(sheet());
    drive.spoil = [](int reading, int32_t, uint8_t* q) {
        q[2] = vdrive::toBcd(reading);
        const uint16_t crc = static_cast<uint16_t>(~QFrame::crc16(q, 10));
        q[10] = static_cast<uint8_t>(crc >> 8);
        q[11] = static_cast<uint8_t>(crc);
    };
    SubchannelFindings f = scan(drive);
    EXPECT_FALSE(f.qUsable);
    EXPECT_FALSE(f.hiddenTrackInQ);
    EXPECT_GT(f.qDisagreed, 0);
    for (const proof::TrackFacts& t : f.facts.tracks) {
        // Track 1's pregap is what lies before it in the table of contents.
        if (t.number > 1) {
            EXPECT_FALSE(t.pregapStart) << t.number;
        }
        EXPECT_TRUE(t.indexes.empty()) << t.number;
    }

    // A drive that sends Q without its CRC.
    QDrive noCrc(sheet());
    noCrc.spoil = [](int, int32_t, uint8_t* q) { q[10] = q[11] = 0; };
    f = scan(noCrc);
    EXPECT_FALSE(f.qUsable);
    EXPECT_FALSE(f.facts.tracks[1].pregapStart);

    // A drive that always sends the Q of the sector after the one asked
    // for: its frames agree, but they would put every boundary one sector
    // early.
    QDrive ahead(sheet());
    const vdrive::CueSheet s = sheet();
    const vdrive::SubChannel sub(s);
    ahead.spoil = [&](int, int32_t sector, uint8_t* q) {
        if (sector + 1 < kSectors) sub.formattedQ(sector + 1, q);
    };
    f = scan(ahead);
    EXPECT_FALSE(f.facts.tracks[1].pregapStart);
    EXPECT_FALSE(f.facts.tracks[2].pregapStart);
    EXPECT_TRUE(f.facts.tracks[1].indexes.empty());
}

TEST(SubchannelScan, QFrameDecodesPositionsCatalogueAndIsrc)
{
    const vdrive::CueSheet s = sheet();
    const vdrive::SubChannel sub(s);
    std::map<int, std::string> seen;
    for (int64_t sector = 3010; sector < 3200; ++sector) {
        const auto q = sub.q(sector);
        const auto f = QFrame::decode(q.data());
        ASSERT_TRUE(f);
        if (f->adr == QFrame::kAdrPosition) {
            EXPECT_EQ(f->absolute, sector);
            EXPECT_EQ(f->relative, sector - 3010);
        }
        seen[f->adr] = f->adr == QFrame::kAdrCatalog ? f->catalog : f->isrc;
        auto bad = q;
        bad[3] ^= 0x10;
        EXPECT_FALSE(QFrame::decode(bad.data()));
    }
    EXPECT_EQ(seen[QFrame::kAdrCatalog], "1234567890123");
    EXPECT_EQ(seen[QFrame::kAdrIsrc], "DEA123456789");
}

TEST(SubchannelScan, CdTextWithADamagedPackLeavesOutOnlyItsKind)
{
    std::vector<uint8_t> answer = {0, 0, 0, 0};
    const std::vector<uint8_t> packs = vdrive::cdTextPacks(sheet());
    answer.insert(answer.end(), packs.begin(), packs.end());
    answer[0] = static_cast<uint8_t>((packs.size() + 2) >> 8);
    answer[1] = static_cast<uint8_t>(packs.size() + 2);

    CdTextPacks good = CdTextPacks::parse(answer.data(), answer.size());
    EXPECT_EQ(good.badPacks, 0);
    EXPECT_EQ(good.title, "Platte");
    EXPECT_EQ(good.performer, "Gruppe");
    EXPECT_EQ(good.trackTitles, (std::map<int, std::string>{{1, "Eins"}, {2, "Zwei"}, {3, "Drei"}}));

    // Damage a title pack: the titles go, the performer stays.
    for (size_t at = 4; at + 18 <= answer.size(); at += 18)
        if (answer[at] == 0x80) {
            answer[at + 6] ^= 0x20;
            break;
        }
    CdTextPacks damaged = CdTextPacks::parse(answer.data(), answer.size());
    EXPECT_EQ(damaged.badPacks, 1);
    EXPECT_TRUE(damaged.title.empty());
    EXPECT_TRUE(damaged.trackTitles.empty());
    EXPECT_EQ(damaged.performer, "Gruppe");

    // An answer cut short in its header parses what it holds, nothing beyond.
    EXPECT_TRUE(CdTextPacks::parse(answer.data(), 3).empty());
}

}  // namespace
}  // namespace rilvane::rescue
