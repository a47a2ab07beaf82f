#include "drive/SptiBlockReader.h"

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/TransientRetry.h"

#include <algorithm>

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
        for (TransientRetry retry; !read && retry.again(session_.lastStatus(), session_.lastSense());)
            read = session_.readBlock(sector, sectors);
    }
    if (!read) {
        driveGone_ = session_.deviceGone();
        noteSense(session_.lastStatus(), session_.lastSense());
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

uint8_t* SptiBlockReader::readWithC2(int32_t sector, int32_t sectors)
{
    bool read = session_.readBlockWithC2(sector, sectors, c2Bytes_);
    if (firstRead_) {
        firstRead_ = false;
        for (TransientRetry retry; !read && retry.again(session_.lastStatus(), session_.lastSense());)
            read = session_.readBlockWithC2(sector, sectors, c2Bytes_);
    }
    if (!read) {
        driveGone_ = session_.deviceGone();
        noteSense(session_.lastStatus(), session_.lastSense());
        log_.logLine(session_.errorLine());
        return nullptr;
    }
    const uint32_t expected =
        static_cast<uint32_t>(sectors) * (CommandCatalogue::kSectorBytes + c2Bytes_);
    const uint32_t received = session_.wideTransferredLength();
    if (received < expected) {
        log_.logLine(DriveMessages::shortRead(received, expected));
        return nullptr;
    }
    return session_.wideData();
}

bool SptiBlockReader::query(const ScsiCommand& command, std::vector<uint8_t>& out)
{
    const bool ok = session_.execute(command);
    if (ok) out.assign(session_.data(), session_.data() + std::min(session_.transferredLength(), command.dataLength));
    // execute() used the read record: make it ready for reads again.
    session_.prepareReadCd();
    return ok;
}

}  // namespace rilvane
