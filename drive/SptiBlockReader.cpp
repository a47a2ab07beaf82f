#include "drive/SptiBlockReader.h"

namespace rilvane {

SptiBlockReader::SptiBlockReader(SptiSession& session, LogSink& log) : session_(session), log_(log)
{
    session_.prepareReadCd();
}

uint8_t* SptiBlockReader::read(int32_t sector, int32_t sectors)
{
    if (session_.readBlock(sector, sectors))
        return session_.data();
    log_.logLine(session_.errorLine());
    return nullptr;
}

}  // namespace rilvane
