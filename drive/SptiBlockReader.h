// Reads read blocks through an open pass-through session.
#pragma once

#include "drive/BlockReader.h"
#include "drive/LogSink.h"
#include "drive/SptiSession.h"

namespace rilvane {

class SptiBlockReader : public BlockReader {
public:
    // Prepares the session's record for READ CD (data area set to 0xFF).
    SptiBlockReader(SptiSession& session, LogSink& log);

    // A failure logs the error line built from the status and sense bytes;
    // a read that succeeds with fewer bytes than ten sectors is a failure too.
    uint8_t* readBlock(int32_t sector) override;

private:
    SptiSession& session_;
    LogSink& log_;
};

}  // namespace rilvane
