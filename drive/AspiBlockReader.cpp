#include "drive/AspiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"

namespace rilvane {

uint8_t* AspiBlockReader::readBlock(int32_t sector)
{
    const uint8_t status = session_.execute(drive_, CommandCatalogue::readCd(sector));
    if (status == SS_COMP)
        return session_.window();
    log_.logLine(DriveMessages::aspiCommandFailed(status));
    return nullptr;
}

}  // namespace rilvane
