#include "VirtualUnit.h"

#include <algorithm>
#include <cstring>

namespace rilvane::platform {

VirtualUnit::VirtualUnit(std::unique_ptr<vdrive::VirtualDrive> drive, std::string description)
    : drive_(std::move(drive)), description_(std::move(description))
{
}

ScsiResult VirtualUnit::execute(const ScsiExchange& exchange)
{
    const bool dataIn = (exchange.direction == DataDirection::In || exchange.direction == DataDirection::Unspecified) &&
                        exchange.dataLength > 0;
    const uint32_t length = dataIn ? exchange.dataLength : 0;
    vdrive::ScsiReply reply;
    {
        std::lock_guard lock(mutex_);
        // The caller's time limit holds here as the kernel holds it for a
        // real drive: a slow defect ends at it.
        drive_->setTimeLimit(exchange.timeoutMs);
        reply = drive_->execute(exchange.cdb, exchange.cdbLength, dataIn ? exchange.data : nullptr, length);
    }
    ScsiResult result;
    if (reply.timedOut) {
        result.delivery = Delivery::TimedOut;
        return result;
    }
    if (reply.transportFailure) {
        // The drive has vanished, as a real one does when it is unplugged.
        result.delivery = Delivery::NotConnected;
        return result;
    }
    result.status = reply.status;
    // Never trust a count beyond what the caller offered.
    result.transferred = std::min(reply.transferred, length);
    result.senseLength = std::min<uint32_t>(reply.senseLength, sizeof reply.sense);
    std::memcpy(result.sense, reply.sense, result.senseLength);
    return result;
}

}  // namespace rilvane::platform
