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
    // a read that succeeds with fewer bytes than asked for is a failure too.
    // The first read is sent again while the drive reports a disc change or
    // spin-up.
    void setReadTimeout(uint32_t seconds) override { session_.setReadTimeout(seconds); }
    bool query(const ScsiCommand& command, std::vector<uint8_t>& out) override;

protected:
    uint8_t* read(int32_t sector, int32_t sectors) override;
    uint8_t* readWithC2(int32_t sector, int32_t sectors) override;

private:
    SptiSession& session_;
    LogSink& log_;
    bool firstRead_ = true;
};

}  // namespace rilvane
