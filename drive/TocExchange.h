// Reads the disc's table of contents into the track table, the same way for
// playback and ripping on both transports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "drive/DriveCaller.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"
#include "drive/RipRange.h"
#include "drive/TocParser.h"
#include "drive/TrackTable.h"

namespace rilvane {

class AspiSession;
class SptiSession;

enum class TocOutcome {
    Read,           // "TOC eingelesen..." and "<n> Tracks gefunden..." logged
    Failed,         // the drive refused: the table holds the defaults
    Skipped,        // ASPI: no event for the command, nothing sent, table untouched
    TrackRejected,  // ripping: "Ungültige Track-Nummer..." logged, the rip must be abandoned
};

struct TocResult {
    TocOutcome outcome = TocOutcome::Failed;
    // Ripping after Read: the sectors of the track to rip.
    std::optional<RipRange> ripRange;
    // After Read: where the lead-out starts, the first sector after the disc.
    std::optional<int32_t> leadOut;
    // After Read: the descriptors with their track numbers and control
    // fields, the lead-out's last.
    std::vector<TocEntry> entries;
    // After Read: the [first, end) sectors of each data track.
    std::vector<std::pair<int32_t, int32_t>> dataRanges;
};

class TocExchange {
public:
    // `handler` is DriveCaller::Playback or DriveCaller::Ripping; ripTrack is
    // the track number to rip (1 = first track listed), checked only when
    // ripping.
    TocExchange(DriveCaller handler, TrackTable& table, LogSink& log, int ripTrack = 1);

    // Puts back the defaults (playback: slot 1 := 500, count := 1; ripping
    // also slot 2 := 450000), sends READ TOC and fills the table from the
    // answer. A refused command logs "Konnte TOC nicht lesen...".
    TocResult overSpti(SptiSession& session);

    // Creates the session's event for the command and closes it afterwards.
    // Without an event: "Fehler beim Ausführen des SCSI Kommandos...",
    // nothing is sent and the table is left alone (Skipped). Otherwise puts
    // back the defaults (slot 1 := 500, count := 1), sends READ TOC and fills
    // the table from the transfer window; a refused command logs
    // "Fehler <status>! Konnte TOC nicht lesen...".
    TocResult overAspi(AspiSession& session, const DriveRecord& drive);

private:
    TocResult accept(const uint8_t* response, size_t received);

    DriveCaller handler_;
    TrackTable& table_;
    LogSink& log_;
    int ripTrack_;
};

}  // namespace rilvane
