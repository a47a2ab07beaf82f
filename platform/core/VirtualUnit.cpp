#include "VirtualUnit.h"

namespace rilvane::platform {

VirtualUnit::VirtualUnit(std::unique_ptr<vdrive::VirtualDrive> drive, std::string description)
    : drive_(std::move(drive)), description_(std::move(description))
{
}

vdrive::ScsiReply VirtualUnit::execute(const uint8_t* cdb, std::size_t cdbLength, uint8_t* data,
                                       uint32_t dataLength)
{
    std::lock_guard lock(mutex_);
    vdrive::ScsiReply reply = drive_->execute(cdb, cdbLength, data, dataLength);
    // Never trust a count beyond what the caller offered.
    if (reply.transferred > dataLength) reply.transferred = dataLength;
    if (reply.senseLength > sizeof reply.sense) reply.senseLength = sizeof reply.sense;
    return reply;
}

}  // namespace rilvane::platform
