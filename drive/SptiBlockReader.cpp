#include "drive/SptiBlockReader.h"

namespace rilvane {

SptiBlockReader::SptiBlockReader(SptiSession& session, LogSink& log) : session_(session), log_(log)
{
    session_.prepareReadCd();
}

uint8_t* SptiBlockReader::readBlock(int32_t sector)
{
    if (session_.readBlock(sector))
        return session_.data();
    log_.logLine(session_.errorLine());
    return nullptr;
}

}  // namespace rilvane
