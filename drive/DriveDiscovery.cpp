#include "drive/DriveDiscovery.h"

#include <cerrno>
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

// The reason in the user's words.
std::string reasonText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return "keine Zugriffsrechte";
    case ENXIO:
    case ENODEV: return "Gerät nicht vorhanden";
    case ENOMEDIUM: return "keine CD eingelegt";
    case EBUSY: return "wird von einem anderen Programm benutzt";
    case ENOENT: return "Gerätedatei fehlt";
    case EROFS: return "nur lesbar";
    default: return "Fehler " + std::to_string(error);
    }
}

}  // namespace

std::string unusableDriveLine(const platform::OpticalNode& node)
{
    if (!node.cdDevice)
        return "Laufwerk " + node.path + " nicht nutzbar: keine Gerätedatei eines CD-Laufwerks.";
    std::string line = "Laufwerk " + node.path + " nicht nutzbar: " + reasonText(node.error);
    if (!node.systemText.empty())
        line += " (" + node.systemText + ")";
    line += '.';
    // Joining the group helps only where the group may read the node.
    constexpr unsigned kGroupRead = 040;
    if ((node.error == EACCES || node.error == EPERM) && (node.mode & kGroupRead) != 0) {
        // Access to drives is given through the group that owns the node
        // (cdrom on Debian); membership counts from the next login on.
        const std::string group =
            node.groupName.empty() ? "mit der Nummer " + std::to_string(node.groupId) : "„" + node.groupName + "“";
        line += " Abhilfe: Mitglied der Gruppe " + group + " werden und neu anmelden.";
    }
    return line;
}

std::vector<std::string> unusableDriveLines()
{
    std::vector<std::string> lines;
    for (const platform::OpticalNode& node : platform::opticalNodes())
        if (node.error != 0)
            lines.push_back(unusableDriveLine(node));
    return lines;
}

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
