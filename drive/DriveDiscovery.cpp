#include "drive/DriveDiscovery.h"

#include <string>

#include "drive/AspiSession.h"
#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/SptiSession.h"
#include "platform/Win32.h"

namespace rilvane {

namespace {

constexpr const char* kDefaultName = "CD-DRIVE";
constexpr size_t kProductIdOffset = 16;  // INQUIRY bytes 16 to 31
constexpr size_t kProductIdBytes = 16;
constexpr uint8_t kAspiTargets = 16;

// Every CD drive with a letter whose device opens for pass-through, in
// letter order. The name is the INQUIRY product identification, or the
// default when the drive does not answer; that failure is not reported.
void scanDriveLetters(DriveTable& table)
{
    const DWORD letters = GetLogicalDrives();
    for (int bit = 0; bit < 32 && table.count < kDriveTableSize; ++bit) {
        if ((letters & (DWORD{1} << bit)) == 0)
            continue;
        const char letter = static_cast<char>('A' + bit);
        const char root[] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;

        SptiSession session;
        if (!session.open(letter))
            continue;

        DriveRecord& record = table.records[static_cast<size_t>(table.count)];
        record = DriveRecord{};
        record.letter = letter;
        record.name.assign(kDefaultName);
        if (session.execute(CommandCatalogue::inquiry()))
            record.name.assign(reinterpret_cast<const char*>(session.data() + kProductIdOffset), kProductIdBytes);
        ++table.count;
    }
}

// Every CD device at LUN 0 of targets 0 to 15 of every host adapter.
void scanAspiAdapters(DriveTable& table, LogSink& log)
{
    AspiSession session;
    if (!session.open(DriveCaller::Discovery, log))
        return;
    if (!session.openEvent(log))
        return;

    for (int adapter = 0; adapter < session.adapterCount(); ++adapter) {
        for (uint8_t target = 0; target < kAspiTargets; ++target) {
            if (!session.isCdDevice(static_cast<uint8_t>(adapter), target))
                continue;
            // The table has room for 32 drives; further devices are left out.
            if (table.count >= kDriveTableSize) {
                log.logLine(DriveMessages::kDriveTableFull);
                return;
            }

            DriveRecord record;
            record.adapterId = static_cast<uint8_t>(adapter);
            record.targetId = target;
            record.lun = 0;
            record.name.assign(kDefaultName);
            const uint8_t status = session.execute(record, CommandCatalogue::inquiry());
            if (status == SS_COMP)
                record.name.assign(reinterpret_cast<const char*>(session.window() + kProductIdOffset),
                                   kProductIdBytes);
            else
                log.logLine(DriveMessages::aspiCommandFailed(status));
            table.records[static_cast<size_t>(table.count)] = record;
            ++table.count;
        }
    }
}

}  // namespace

void findAllCDDrives(DriveTable& table, TransportMode& mode, LogSink& log)
{
    mode = TransportMode::Spti;
    table.count = 0;

    scanDriveLetters(table);
    if (table.count > 0)
        return;

    mode = TransportMode::Aspi;
    scanAspiAdapters(table, log);
}

}  // namespace rilvane
