#include "drive/SptiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/TransientRetry.h"

namespace rilvane {

SptiBlockReader::SptiBlockReader(SptiSession& session, LogSink& log) : session_(session), log_(log)
{
    session_.prepareReadCd();
}

uint8_t* SptiBlockReader::read(int32_t sector, int32_t sectors)
{
    bool read = session_.readBlock(sector, sectors);
    // The first read may still meet the drive settling after a disc change.
    if (firstRead_) {
        firstRead_ = false;
        for (TransientRetry retry; !read && retry.again(session_.scsiStatus(), session_.request().sense);)
            read = session_.readBlock(sector, sectors);
    }
    if (!read) {
        log_.logLine(session_.errorLine());
        return nullptr;
    }
    // A drive may report success and still send less than it was asked for;
    // the rest of the data area would then hold the previous block, which
    // must never be played or saved as this one.
    const uint32_t expected = static_cast<uint32_t>(sectors) * CommandCatalogue::kSectorBytes;
    const uint32_t received = session_.transferredLength();
    if (received < expected) {
        log_.logLine(DriveMessages::shortRead(received, expected));
        return nullptr;
    }
    return session_.data();
}

}  // namespace rilvane
