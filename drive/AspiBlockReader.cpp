#include "drive/AspiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"

namespace rilvane {

uint8_t* AspiBlockReader::read(int32_t sector, int32_t sectors)
{
    return finish(session_.execute(drive_, CommandCatalogue::readCd(sector, sectors)));
}

uint8_t* AspiBlockReader::readWithC2(int32_t sector, int32_t sectors)
{
    return finish(session_.execute(drive_, CommandCatalogue::readCdWithC2(sector, sectors)));
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
    return nullptr;
}

bool AspiBlockReader::query(const ScsiCommand& command, std::vector<uint8_t>& out)
{
    if (session_.execute(drive_, command) != SS_COMP || !session_.window()) return false;
    out.assign(session_.window(), session_.window() + command.dataLength);
    return true;
}

}  // namespace rilvane
