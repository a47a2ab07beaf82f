#include "drive/AspiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/TransientRetry.h"

namespace rilvane {

uint8_t* AspiBlockReader::read(int32_t sector, int32_t sectors)
{
    uint8_t status = session_.execute(drive_, CommandCatalogue::readCd(sector, sectors));
    // The first read may still meet the drive settling after a disc change.
    if (firstRead_) {
        firstRead_ = false;
        for (TransientRetry retry;
             status != SS_COMP && retry.again(session_.request().SRB_TargStat, session_.request().SenseArea);)
            status = session_.execute(drive_, CommandCatalogue::readCd(sector, sectors));
    }
    if (status == SS_COMP)
        return session_.window();
    log_.logLine(DriveMessages::aspiCommandFailed(status));
    // The drive's reason, where it sent one (no disc, medium error, ...).
    if (const std::string why = session_.senseLine(); !why.empty())
        log_.logLine(why);
    return nullptr;
}

}  // namespace rilvane
