// Drives with letters, reached by pass-through: discovery, the table of
// contents and reading through the read loop.
#include <gtest/gtest.h>

#include <cstring>

#include "RecordingLog.h"
#include "Scenario.h"
#include "ScriptedHost.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "drive/ReadLoop.h"
#include "drive/SptiBlockReader.h"
#include "drive/SptiSession.h"
#include "drive/TocExchange.h"

namespace rilvane {
namespace {

using Lines = std::vector<std::string>;
using test::RecordingLog;
using test::ScriptedHost;
using test::scenario;

const std::string kMediumError = "Fehler: SCSI Status 2; Code:3;11;5 \"Medium Error: l-ec uncorrectable error\"";

// The disc address stamped into the first frame of every sector.
int32_t stampAt(const uint8_t* sector)
{
    uint32_t low = sector[0] | (sector[1] << 8);
    uint32_t high = sector[2] | (sector[3] << 8);
    return static_cast<int32_t>(low | (high << 16));
}

void expectTwelveTrackTable(const TrackTable& table)
{
    const auto& disc = scenario().disc("twelve");
    ASSERT_EQ(disc.trackStarts.size(), 12u);
    EXPECT_EQ(table.count, 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(table.slot(i + 1), disc.trackStarts[static_cast<size_t>(i)]) << "slot " << i + 1;
    EXPECT_EQ(table.slot(13), disc.leadOut);
}

TEST(Letters, DiscoveryListsTheLetteredDrivesOnly)
{
    DriveTable table;
    TransportMode mode = TransportMode::Aspi;
    RecordingLog log;
    findAllCDDrives(table, mode, log);

    EXPECT_EQ(mode, TransportMode::Spti);
    // The drive behind ASPI alone is not looked for once a letter answered.
    ASSERT_EQ(table.count, 3);
    EXPECT_EQ(table.records[0].letter, 'D');
    EXPECT_EQ(table.records[1].letter, 'F');
    EXPECT_EQ(table.records[2].letter, 'G');
    EXPECT_EQ(table.records[0].name.str(), "TWELVE TRACKS   ");
    EXPECT_EQ(driveListEntry(table.records[0], mode), "D: TWELVE TRACKS   ");
    EXPECT_EQ(table.records[1].name.str(), "SHORT           ");  // trailing blanks stay
    EXPECT_EQ(table.records[2].name.str(), "CD-DRIVE");          // INQUIRY refused, silently
    EXPECT_TRUE(log.lines.empty());
}

TEST(Letters, TableOfContentsForPlaybackAndRipping)
{
    SptiSession session;
    ASSERT_TRUE(session.open('D'));
    TrackTable table;

    RecordingLog playbackLog;
    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, playbackLog).overSpti(session).outcome, TocOutcome::Read);
    EXPECT_EQ(playbackLog.lines, (Lines{"TOC eingelesen...", "12 Tracks gefunden..."}));
    expectTwelveTrackTable(table);

    RecordingLog ripLog;
    const TocResult last = TocExchange(DriveCaller::Ripping, table, ripLog, 12).overSpti(session);
    EXPECT_EQ(last.outcome, TocOutcome::Read);
    ASSERT_TRUE(last.ripRange.has_value());
    EXPECT_EQ(last.ripRange->firstSector, scenario().disc("twelve").trackStarts[11]);
    EXPECT_EQ(last.ripRange->endSector, scenario().disc("twelve").leadOut);
    EXPECT_EQ(ripLog.lines, (Lines{"TOC eingelesen...", "12 Tracks gefunden..."}));

    RecordingLog rejectLog;
    const TocResult beyond = TocExchange(DriveCaller::Ripping, table, rejectLog, 13).overSpti(session);
    EXPECT_EQ(beyond.outcome, TocOutcome::TrackRejected);
    EXPECT_EQ(rejectLog.lines, (Lines{"TOC eingelesen...", "Ungültige Track-Nummer..."}));
}

TEST(Letters, RefusedTableOfContentsLeavesTheDefaults)
{
    SptiSession session;
    ASSERT_TRUE(session.open('G'));
    TrackTable table;
    table.slot(2) = 777;
    table.count = 5;

    RecordingLog log;
    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, log).overSpti(session).outcome, TocOutcome::Failed);
    // The drive's reason follows the program's line.
    EXPECT_EQ(log.lines, (Lines{"Konnte TOC nicht lesen...",
                                "Fehler: SCSI Status 2; Code:5;24;0 \"Illegal Request: invalid field in cdb\""}));
    EXPECT_EQ(table.slot(1), 500);
    EXPECT_EQ(table.slot(2), 777);
    EXPECT_EQ(table.count, 1);

    EXPECT_EQ(TocExchange(DriveCaller::Ripping, table, log).overSpti(session).outcome, TocOutcome::Failed);
    EXPECT_EQ(table.slot(2), 450000);
    EXPECT_EQ(table.count, 1);
}

TEST(Letters, DriveWithoutDeviceCannotBeOpened)
{
    SptiSession session;
    EXPECT_FALSE(session.open('Q'));
    TrackTable table;
    RecordingLog log;
    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, log).overSpti(session).outcome, TocOutcome::Failed);
    EXPECT_EQ(log.lines, (Lines{"Konnte TOC nicht lesen..."}));
}

TEST(Letters, ReadLoopSkipsADefectiveBlock)
{
    SptiSession session;
    ASSERT_TRUE(session.open('D'));
    RecordingLog log;
    SptiBlockReader reader(session, log);
    ScriptedHost host;
    host.state.currentSector = 990;
    host.blocks = 3;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();

    EXPECT_EQ(stats.goodBlocks, 2);
    EXPECT_EQ(stats.failedBlocks, 1);
    EXPECT_EQ(log.lines, (Lines{kMediumError}));
    EXPECT_EQ(host.goodSectors, (std::vector<int32_t>{990, 1010}));
    EXPECT_EQ(host.state.currentSector, 1020);
}

TEST(Letters, ReadAfterAFailureGetsAWholeBlockAndItsOwnSense)
{
    SptiSession session;
    ASSERT_TRUE(session.open('D'));
    session.prepareReadCd();

    EXPECT_FALSE(session.readBlock(1000));
    EXPECT_EQ(session.errorLine(), kMediumError);

    ASSERT_TRUE(session.readBlock(1010));
    EXPECT_EQ(session.transferredLength(), 23520u);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(stampAt(session.data() + k * 2352), 1010 + k) << "sector " << k;
    EXPECT_EQ(session.data()[23520], 0xFF);  // the spare byte is never written

    EXPECT_FALSE(session.readBlock(2000));
    EXPECT_EQ(session.errorLine(), kMediumError);
    EXPECT_FALSE(session.readBlock(2010));
    EXPECT_EQ(session.errorLine().rfind("Fehler: SCSI Status 2; Code:2;4;0 \"Not Ready:", 0), 0u)
        << session.errorLine();
    ASSERT_TRUE(session.readBlock(2020));
    EXPECT_EQ(stampAt(session.data()), 2020);
}

TEST(Letters, TransportFailureReportsNoStaleSense)
{
    SptiSession session;
    ASSERT_TRUE(session.open('G'));
    session.prepareReadCd();
    EXPECT_FALSE(session.readBlock(50));
    EXPECT_EQ(session.errorLine(), kMediumError);
    // The call itself fails: status 0 and no sense of its own.
    EXPECT_FALSE(session.readBlock(100));
    EXPECT_EQ(session.errorLine().rfind("Fehler: SCSI Status 0; Code:0;0;0 ", 0), 0u) << session.errorLine();
}

TEST(Letters, ElevenFailedBlocksStopTenDoNot)
{
    SptiSession session;
    ASSERT_TRUE(session.open('D'));
    RecordingLog log;
    SptiBlockReader reader(session, log);

    ScriptedHost stopped;
    stopped.state.currentSector = 3000;
    const ReadLoopStats eleven = ReadLoop(reader, stopped.state, stopped, &stopped).run();
    EXPECT_TRUE(eleven.errorLimitReached);
    EXPECT_TRUE(stopped.state.stopRequest);
    EXPECT_EQ(eleven.failedBlocks, 11);
    EXPECT_EQ(stopped.state.currentSector, 3110);
    EXPECT_EQ(log.lines, Lines(11, kMediumError));

    ScriptedHost goesOn;
    goesOn.state.currentSector = 4000;
    goesOn.blocks = 25;
    const ReadLoopStats twenty = ReadLoop(reader, goesOn.state, goesOn, &goesOn).run();
    EXPECT_FALSE(twenty.errorLimitReached);
    EXPECT_FALSE(goesOn.state.stopRequest);
    EXPECT_EQ(twenty.failedBlocks, 20);
    EXPECT_EQ(twenty.goodBlocks, 5);
    EXPECT_EQ(goesOn.state.currentSector, 4250);
}

}  // namespace
}  // namespace rilvane
