// Drives that are not ready at once (a disc just put in) and discs with a data
// track: the table of contents and the first read on both transports.
#include <gtest/gtest.h>

#include "RecordingLog.h"
#include "Scenario.h"
#include "ScriptedHost.h"
#include "drive/AspiBlockReader.h"
#include "drive/AspiSession.h"
#include "drive/CommandCatalogue.h"
#include "drive/ReadLoop.h"
#include "drive/SptiBlockReader.h"
#include "drive/SptiSession.h"
#include "drive/TocExchange.h"

namespace rilvane {
namespace {

using Lines = std::vector<std::string>;
using test::RecordingLog;
using test::ScriptedHost;

// A disc change reported once, then three "becoming ready" answers: the
// table of contents is read all the same, and the reads after it too.
TEST(Settling, TableOfContentsWaitsForADiscJustInserted)
{
    SptiSession session;
    ASSERT_TRUE(session.open('D'));
    TrackTable table;
    RecordingLog log;
    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, log).overSpti(session).outcome, TocOutcome::Read);
    EXPECT_EQ(log.lines, (Lines{"TOC eingelesen...", "2 Tracks gefunden..."}));

    RecordingLog aspiLog;
    AspiSession aspi;
    ASSERT_TRUE(aspi.open(DriveCaller::Playback, aspiLog));
    DriveRecord drive;
    drive.adapterId = 0;
    drive.targetId = 1;
    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, aspiLog).overAspi(aspi, drive).outcome, TocOutcome::Read);
    EXPECT_EQ(aspiLog.lines, (Lines{"TOC eingelesen...", "2 Tracks gefunden..."}));
}

// Over ASPI nothing has taken a drive's answers to a disc change before the
// program asks: the first command after the change finds no medium while the
// drive loads the disc, the next one hears of the change. The table of
// contents is read all the same; a drive with no disc is asked only once
// more and fails with its reason.
TEST(Settling, NoMediumIsAskedAgainOnceOverAspi)
{
    for (const auto& [target, read] : {std::pair{2, true}, std::pair{3, false}}) {
        RecordingLog log;
        AspiSession aspi;
        ASSERT_TRUE(aspi.open(DriveCaller::Playback, log));
        DriveRecord drive;
        drive.adapterId = 0;
        drive.targetId = static_cast<uint8_t>(target);
        TrackTable table;
        const TocResult result = TocExchange(DriveCaller::Playback, table, log).overAspi(aspi, drive);
        if (read) {
            EXPECT_EQ(result.outcome, TocOutcome::Read);
            EXPECT_EQ(log.lines, (Lines{"TOC eingelesen...", "2 Tracks gefunden..."}));
        } else {
            EXPECT_EQ(result.outcome, TocOutcome::Failed);
            ASSERT_EQ(log.lines.size(), 2u);
            EXPECT_NE(log.lines[1].find("Code:2;3A;0"), std::string::npos) << log.lines[1];
        }
    }
}

// A drive that never gets ready: the wait is bounded and the reason is logged.
TEST(Settling, DriveThatStaysNotReadyFailsWithItsReason)
{
    SptiSession session;
    ASSERT_TRUE(session.open('E'));
    TrackTable table;
    RecordingLog log;
    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, log).overSpti(session).outcome, TocOutcome::Failed);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "Konnte TOC nicht lesen...");
    EXPECT_EQ(log.lines[1].rfind("Fehler: SCSI Status 2; Code:2;4;1 ", 0), 0u) << log.lines[1];
}

// The first read of a loop meets the drive still settling: it is sent again
// and the block counts as good.
TEST(Settling, FirstReadIsRepeatedWhileTheDriveSettles)
{
    RecordingLog aspiLog;
    AspiSession aspi;
    ASSERT_TRUE(aspi.open(DriveCaller::Playback, aspiLog));
    ASSERT_TRUE(aspi.openEvent(aspiLog));
    DriveRecord drive;
    drive.adapterId = 0;
    drive.targetId = 1;
    // The TOC test above used up the ASPI drive's start-up answers only when
    // it ran first; the reader must cope either way.
    AspiBlockReader reader(aspi, drive, aspiLog);
    ScriptedHost host;
    host.state.currentSector = 0;
    host.blocks = 2;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();
    EXPECT_EQ(stats.goodBlocks, 2);
    EXPECT_EQ(stats.failedBlocks, 0);
    EXPECT_TRUE(aspiLog.lines.empty());
}

// Data tracks are known from the table of contents, and their sectors are
// refused as audio instead of arriving as 2048 bytes of data per sector.
TEST(Settling, DataTrackIsMarkedAndNeverReadAsAudio)
{
    SptiSession session;
    ASSERT_TRUE(session.open('F'));
    TrackTable table;
    RecordingLog log;
    ASSERT_EQ(TocExchange(DriveCaller::Playback, table, log).overSpti(session).outcome, TocOutcome::Read);
    EXPECT_FALSE(table.isData(1));
    EXPECT_FALSE(table.isData(2));
    EXPECT_TRUE(table.isData(3));

    log.lines.clear();
    SptiBlockReader reader(session, log);
    ScriptedHost host;
    host.state.currentSector = table.slot(3);
    host.blocks = 1;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();
    EXPECT_EQ(stats.goodBlocks, 0);
    EXPECT_EQ(stats.failedBlocks, 1);
    EXPECT_EQ(log.lines, (Lines{"Fehler: SCSI Status 2; Code:5;64;0 \"Illegal Request: illegal mode for this track\""}));
}

}  // namespace
}  // namespace rilvane
