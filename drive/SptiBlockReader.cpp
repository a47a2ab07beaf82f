#include "drive/SptiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"

namespace rilvane {

SptiBlockReader::SptiBlockReader(SptiSession& session, LogSink& log) : session_(session), log_(log)
{
    session_.prepareReadCd();
}

uint8_t* SptiBlockReader::readBlock(int32_t sector)
{
    if (!session_.readBlock(sector)) {
        log_.logLine(session_.errorLine());
        return nullptr;
    }
    // A drive may report success and still send less than the ten sectors;
    // the rest of the data area would then hold the previous block, which
    // must never be played or saved as this one.
    const uint32_t received = session_.transferredLength();
    if (received < CommandCatalogue::kReadBlockBytes) {
        log_.logLine(DriveMessages::shortRead(received, CommandCatalogue::kReadBlockBytes));
        return nullptr;
    }
    return session_.data();
}

}  // namespace rilvane
