#include "PassThrough.h"

#include "LastError.h"
#include "ScsiTarget.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace rilvane::platform {

namespace {

constexpr uint64_t headerSize = sizeof(SCSI_PASS_THROUGH);

// An area [offset, offset + length) must lie after the header and inside the
// buffer; the sums are done in 64 bits so that nothing wraps.
bool areaFits(uint32_t offset, uint32_t length, DWORD bufferLength)
{
    return length == 0 || (offset >= headerSize && uint64_t{offset} + length <= bufferLength);
}

// What the caller gets back after a command that reached the drive: the
// drive's status byte, how much sense and data arrived, and the number of
// bytes of the output that now mean something.
BOOL complete(PassThroughCall& call, uint8_t status, const uint8_t* sense, uint32_t senseAvailable,
              uint32_t transferred, DWORD* bytesReturned)
{
    const uint32_t senseCopied = call.sense ? std::min(senseAvailable, call.senseLength) : 0;
    if (senseCopied > 0) std::memcpy(call.sense, sense, senseCopied);

    SCSI_PASS_THROUGH reply = call.request;
    reply.ScsiStatus = status;
    reply.SenseInfoLength = static_cast<UCHAR>(senseCopied);
    reply.DataTransferLength = std::min(transferred, call.dataLength);
    std::memcpy(call.output, &reply, sizeof reply);

    if (bytesReturned != nullptr) {
        uint64_t used = headerSize;
        if (call.request.DataIn == SCSI_IOCTL_DATA_IN && reply.DataTransferLength > 0)
            used = std::max<uint64_t>(used, uint64_t{call.request.DataBufferOffset} + reply.DataTransferLength);
        if (senseCopied > 0) used = std::max<uint64_t>(used, uint64_t{call.request.SenseInfoOffset} + senseCopied);
        *bytesReturned = static_cast<DWORD>(used);
    }
    return TRUE;
}

// A command that never completed at the drive fails the call itself, as
// Windows' pass-through does; a drive's CHECK CONDITION does not (that is a
// successful call with ScsiStatus 2 and the sense bytes).
DWORD errorFor(const ScsiResult& result)
{
    switch (result.delivery) {
    case Delivery::Completed: return ERROR_SUCCESS;
    case Delivery::SystemError: return errorFromErrno(result.systemError);
    case Delivery::NotConnected: return ERROR_DEVICE_NOT_CONNECTED;
    case Delivery::TimedOut: return ERROR_SEM_TIMEOUT;
    case Delivery::BusBusy:
    case Delivery::ParityError:
    case Delivery::BusReset:
    case Delivery::AdapterError: break;
    }
    return ERROR_IO_DEVICE;
}

DataDirection directionOf(const SCSI_PASS_THROUGH& request)
{
    switch (request.DataIn) {
    case SCSI_IOCTL_DATA_IN: return DataDirection::In;
    case SCSI_IOCTL_DATA_OUT: return DataDirection::Out;
    default: return DataDirection::None;
    }
}

}  // namespace

bool preparePassThrough(const void* in, DWORD inLength, void* out, DWORD outLength, PassThroughCall& call,
                        DWORD& error)
{
    error = ERROR_INVALID_PARAMETER;
    if (in == nullptr || out == nullptr || inLength < headerSize || outLength < headerSize) return false;
    std::memcpy(&call.request, in, sizeof call.request);
    const SCSI_PASS_THROUGH& request = call.request;
    if (request.Length != headerSize || request.CdbLength == 0 || request.CdbLength > sizeof request.Cdb) return false;

    call.output = static_cast<uint8_t*>(out);
    call.dataLength = request.DataTransferLength;
    switch (request.DataIn) {
    case SCSI_IOCTL_DATA_IN:
        if (!areaFits(request.DataBufferOffset, request.DataTransferLength, outLength)) return false;
        call.data = call.dataLength ? call.output + request.DataBufferOffset : nullptr;
        break;
    case SCSI_IOCTL_DATA_OUT:
        if (!areaFits(request.DataBufferOffset, request.DataTransferLength, inLength)) return false;
        call.data = call.dataLength ? const_cast<uint8_t*>(static_cast<const uint8_t*>(in)) + request.DataBufferOffset
                                    : nullptr;
        break;
    case SCSI_IOCTL_DATA_UNSPECIFIED:
        // Without a direction Linux cannot move data; only commands without
        // a data phase can be sent this way.
        if (request.DataTransferLength != 0) return false;
        break;
    default: return false;
    }

    call.senseLength = request.SenseInfoLength;
    if (!areaFits(request.SenseInfoOffset, request.SenseInfoLength, outLength)) return false;
    call.sense = call.senseLength ? call.output + request.SenseInfoOffset : nullptr;
    error = ERROR_SUCCESS;
    return true;
}

BOOL passThrough(ScsiTarget& target, PassThroughCall& call, DWORD* bytesReturned, DWORD& error)
{
    const SCSI_PASS_THROUGH& request = call.request;
    ScsiExchange exchange;
    exchange.cdb = request.Cdb;
    exchange.cdbLength = request.CdbLength;
    exchange.direction = directionOf(request);
    exchange.data = call.data;
    exchange.dataLength = call.dataLength;
    // Seconds to milliseconds, saturating (the largest value means no limit
    // to sg, which is what a time-out of 136 years means anyway); 0 leaves
    // the device's default.
    constexpr uint64_t maxTimeout = std::numeric_limits<uint32_t>::max();
    exchange.timeoutMs = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{request.TimeOutValue} * 1000, maxTimeout));

    const ScsiResult result = target.execute(exchange);
    error = errorFor(result);
    if (error != ERROR_SUCCESS) {
        if (bytesReturned) *bytesReturned = 0;
        return FALSE;
    }
    return complete(call, result.status, result.sense, result.senseLength, result.transferred, bytesReturned);
}

}  // namespace rilvane::platform
