// One session with the selected drive over the transport that drive
// discovery chose: the pass-through by drive letter, or the ASPI layer by
// adapter and target. Callers never branch on the transport; they take the
// steps below in the order readDisc() (drive/DiscSession.h) gives them.
#pragma once

#include <memory>

#include "drive/BlockReader.h"
#include "drive/DriveCaller.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"
#include "drive/TocExchange.h"

namespace rilvane {

class DriveTransport {
public:
    // The transport of `mode` for `drive`. `caller` (Playback or Ripping)
    // picks the transport's messages and the table-of-contents defaults;
    // every line goes to `log`, which must outlive the transport.
    static std::unique_ptr<DriveTransport> create(TransportMode mode, const DriveRecord& drive, DriveCaller caller,
                                                  LogSink& log);

    virtual ~DriveTransport() = default;

    // Opens the drive: the device by its letter, or the ASPI layer (transfer
    // block, library, support information). On failure logs the transport's
    // line ("Kein Laufwerkszugriff über SPTI möglich...", the missing or
    // failing ASPI layer) and returns false.
    virtual bool open() = 0;

    // Reads the table of contents into the exchange's track table, with the
    // exchange's lines. ASPI makes a completion event for this one command.
    virtual TocResult readToc(TocExchange& exchange) = 0;

    // A reader of read blocks for the read loop, valid while the transport is
    // open. ASPI makes the loop's completion event here and the reader closes
    // it when it goes; without one it logs "Fehler beim Ausführen des SCSI
    // Kommandos..." and returns nullptr.
    virtual std::unique_ptr<BlockReader> blockReader() = 0;

    // Releases what open() got. Also done on destruction.
    virtual void close() = 0;
};

}  // namespace rilvane
