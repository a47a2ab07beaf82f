#include "drive/AspiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"

namespace rilvane {

uint8_t* AspiBlockReader::read(int32_t sector, int32_t sectors)
{
    const uint8_t status = session_.execute(drive_, CommandCatalogue::readCd(sector, sectors));
    if (status == SS_COMP)
        return session_.window();
    log_.logLine(DriveMessages::aspiCommandFailed(status));
    return nullptr;
}

}  // namespace rilvane
