// Reads read blocks through an ASPI session whose event is open.
#pragma once

#include "drive/AspiSession.h"
#include "drive/BlockReader.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"

namespace rilvane {

class AspiBlockReader : public BlockReader {
public:
    AspiBlockReader(AspiSession& session, const DriveRecord& drive, LogSink& log)
        : session_(session), drive_(drive), log_(log)
    {
    }

    // The data lands in the transfer window. A failure logs
    // "Fehler <status> beim Ausführen des SCSI Kommandos...", followed by
    // the error line of the drive's sense data where it sent any. The first
    // read is sent again while the drive reports a disc change or spin-up.
    bool query(const ScsiCommand& command, std::vector<uint8_t>& out) override;

protected:
    uint8_t* read(int32_t sector, int32_t sectors) override;
    uint8_t* readWithC2(int32_t sector, int32_t sectors) override;

private:
    uint8_t execute(const ScsiCommand& command);
    uint8_t* finish(uint8_t status);

    AspiSession& session_;
    DriveRecord drive_;
    LogSink& log_;
    bool firstRead_ = true;
};

}  // namespace rilvane
