#include "drive/AspiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/TransientRetry.h"

namespace rilvane {

uint8_t* AspiBlockReader::read(int32_t sector, int32_t sectors)
{
    return finish(execute(CommandCatalogue::readCd(sector, sectors)));
}

uint8_t* AspiBlockReader::readWithC2(int32_t sector, int32_t sectors)
{
    return finish(execute(CommandCatalogue::readCdWithC2(sector, sectors, c2Bytes_)));
}

uint8_t AspiBlockReader::execute(const ScsiCommand& command)
{
    uint8_t status = session_.execute(drive_, command);
    // The first read may still meet the drive settling after a disc change.
    if (firstRead_) {
        firstRead_ = false;
        for (TransientRetry retry;
             status != SS_COMP && retry.again(session_.request().SRB_TargStat, session_.request().SenseArea);)
            status = session_.execute(drive_, command);
    }
    return status;
}

uint8_t* AspiBlockReader::finish(uint8_t status)
{
    if (status == SS_COMP)
        return session_.window();
    // No device at the address, or no answer when it was selected: the
    // drive has gone.
    driveGone_ = status == SS_NO_DEVICE || session_.request().SRB_HaStat == HASTAT_SEL_TO;
    noteSense(session_.request().SRB_TargStat, session_.request().SenseArea);
    log_.logLine(DriveMessages::aspiCommandFailed(status));
    // The drive's reason, where it sent one (no disc, medium error, ...).
    if (const std::string why = session_.senseLine(); !why.empty())
        log_.logLine(why);
    return nullptr;
}

bool AspiBlockReader::query(const ScsiCommand& command, std::vector<uint8_t>& out)
{
    if (session_.execute(drive_, command) != SS_COMP || !session_.window()) return false;
    out.assign(session_.window(), session_.window() + command.dataLength);
    return true;
}

}  // namespace rilvane
