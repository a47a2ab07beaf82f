// Drives reached through the ASPI layer: discovery, the table of contents and
// reading, against the real layer with virtual drives.
#include <gtest/gtest.h>

#include <cstdlib>

#include "RecordingLog.h"
#include "Scenario.h"
#include "ScriptedHost.h"
#include "drive/AspiBlockReader.h"
#include "drive/AspiSession.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "drive/ReadLoop.h"
#include "drive/TocExchange.h"

namespace rilvane {
namespace {

using Lines = std::vector<std::string>;
using test::RecordingLog;
using test::ScriptedHost;
using test::scenario;

DriveRecord aspiDrive(uint8_t adapter, uint8_t target)
{
    DriveRecord drive;
    drive.adapterId = adapter;
    drive.targetId = target;
    return drive;
}

// "Fehler <n><tail>" with a request status other than 1.
void expectStatusLine(const std::string& line, const std::string& tail)
{
    ASSERT_EQ(line.rfind("Fehler ", 0), 0u) << line;
    ASSERT_GT(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    const std::string status = line.substr(7, line.size() - 7 - tail.size());
    EXPECT_FALSE(status.empty());
    EXPECT_EQ(status.find_first_not_of("0123456789"), std::string::npos) << line;
    EXPECT_NE(status, "1");
}

TEST(Aspi, DiscoveryScansAdaptersAndTargets)
{
    DriveTable table;
    TransportMode mode = TransportMode::Spti;
    RecordingLog log;
    findAllCDDrives(table, mode, log);

    EXPECT_EQ(mode, TransportMode::Aspi);
    ASSERT_EQ(table.count, 2);
    // Adapter 0 comes first; its drive refuses INQUIRY and keeps the default.
    EXPECT_EQ(table.records[0].adapterId, 0);
    EXPECT_EQ(table.records[0].targetId, 5);
    EXPECT_EQ(table.records[0].name.str(), "CD-DRIVE");
    EXPECT_EQ(table.records[1].adapterId, 1);
    EXPECT_EQ(table.records[1].targetId, 3);
    EXPECT_EQ(table.records[1].lun, 0);
    EXPECT_EQ(table.records[1].name.str(), "ASPI TWELVE     ");
    EXPECT_EQ(driveListEntry(table.records[1], mode), "ASPI TWELVE     ");
    ASSERT_EQ(log.lines.size(), 1u);
    expectStatusLine(log.lines[0], " beim Ausführen des SCSI Kommandos...");
}

TEST(Aspi, TableOfContentsAndReads)
{
    RecordingLog log;
    AspiSession session;
    ASSERT_TRUE(session.open(DriveCaller::Playback, log));
    TrackTable table;

    EXPECT_EQ(TocExchange(DriveCaller::Playback, table, log).overAspi(session, aspiDrive(1, 3)).outcome,
              TocOutcome::Read);
    EXPECT_FALSE(session.hasEvent());  // the exchange's own event is closed again
    EXPECT_EQ(log.lines, (Lines{"TOC eingelesen...", "12 Tracks gefunden..."}));
    const auto& disc = scenario().disc("twelve");
    EXPECT_EQ(table.count, 12);
    EXPECT_EQ(table.slot(1), disc.trackStarts[0]);
    EXPECT_EQ(table.slot(12), disc.trackStarts[11]);
    EXPECT_EQ(table.slot(13), disc.leadOut);

    // The loop's event is a second one.
    log.lines.clear();
    ASSERT_TRUE(session.openEvent(log));
    AspiBlockReader reader(session, aspiDrive(1, 3), log);
    ScriptedHost host;
    host.state.currentSector = 990;
    host.blocks = 3;
    const ReadLoopStats stats = ReadLoop(reader, host.state, host, &host).run();
    EXPECT_EQ(stats.goodBlocks, 2);
    EXPECT_EQ(stats.failedBlocks, 1);
    // The layer's status line, then what the drive said.
    ASSERT_EQ(log.lines.size(), 2u);
    expectStatusLine(log.lines[0], " beim Ausführen des SCSI Kommandos...");
    EXPECT_EQ(log.lines[1], "Fehler: SCSI Status 2; Code:3;11;5 \"Medium Error: l-ec uncorrectable error\"");
    // The stamp of sector 1010 is in the window after the last good read.
    const uint8_t* window = session.window();
    EXPECT_EQ(window[0] | (window[1] << 8), 1010);
}

TEST(Aspi, RefusedTableOfContents)
{
    RecordingLog log;
    AspiSession session;
    ASSERT_TRUE(session.open(DriveCaller::Ripping, log));
    TrackTable table;
    table.slot(2) = 777;
    table.count = 9;

    const TocResult result = TocExchange(DriveCaller::Ripping, table, log, 1).overAspi(session, aspiDrive(0, 5));
    EXPECT_EQ(result.outcome, TocOutcome::Failed);
    EXPECT_FALSE(result.ripRange.has_value());
    ASSERT_EQ(log.lines.size(), 2u);
    expectStatusLine(log.lines[0], "! Konnte TOC nicht lesen...");
    EXPECT_EQ(log.lines[1], "Fehler: SCSI Status 2; Code:5;24;0 \"Illegal Request: invalid field in cdb\"");
    EXPECT_EQ(table.slot(1), 500);
    EXPECT_EQ(table.slot(2), 777);  // ripping over ASPI leaves slot 2 alone
    EXPECT_EQ(table.count, 1);
}

TEST(Aspi, MissingLayerWhenPlaying)
{
    setenv("RILVANE_LIBRARY_DIR", test::emptyFolder().c_str(), 1);
    RecordingLog log;
    AspiSession session;
    EXPECT_FALSE(session.open(DriveCaller::Playback, log));
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(log.lines, (Lines{"Konnte ASPI Layer nicht laden. Downloaden Sie den ASPI-Treiber von "
                                "http://www.adaptec.com/!"}));
    unsetenv("RILVANE_LIBRARY_DIR");
}

}  // namespace
}  // namespace rilvane
