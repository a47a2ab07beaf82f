#include "PassThrough.h"

#include "LastError.h"
#include "ScsiGeneric.h"
#include "VirtualUnit.h"

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

// Linux host byte (DID_*) and driver byte (DRIVER_*) values of sg_io_hdr.
constexpr uint16_t didOk = 0x00, didNoConnect = 0x01, didTimeOut = 0x03, didBadTarget = 0x04;
constexpr uint16_t driverOk = 0x00, driverTimeout = 0x06, driverSense = 0x08;

// Whether the command reached the drive and came back with a status byte.
// A real drive that rejects a command (a scratched sector, an unknown
// opcode) answers CHECK CONDITION: status 2, host byte DID_OK, driver byte
// DRIVER_SENSE with the sense data. Windows reports that as a successful
// call with ScsiStatus 2 and the sense bytes, so it is a success here too.
// Only when the command never completed at the drive - no device at that
// address, a time-out, a bus reset or abort, an adapter error - does the
// call itself fail, as Windows' pass-through does:
//   DID_NO_CONNECT, DID_BAD_TARGET       -> ERROR_DEVICE_NOT_CONNECTED
//   DID_TIME_OUT, DRIVER_TIMEOUT         -> ERROR_SEM_TIMEOUT
//   any other host byte or driver error  -> ERROR_IO_DEVICE
// The "suggestion" bits in the driver byte's high nibble are advice to the
// kernel's error handler and are ignored.
bool reachedDrive(const sg_io_hdr_t& header, DWORD& error)
{
    const uint16_t driver = header.driver_status & 0x0F;
    switch (header.host_status) {
    case didOk: break;
    case didNoConnect:
    case didBadTarget: error = ERROR_DEVICE_NOT_CONNECTED; return false;
    case didTimeOut: error = ERROR_SEM_TIMEOUT; return false;
    default: error = ERROR_IO_DEVICE; return false;
    }
    if (driver == driverOk || driver == driverSense) return true;
    error = driver == driverTimeout ? ERROR_SEM_TIMEOUT : ERROR_IO_DEVICE;
    return false;
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

BOOL passThroughOnDevice(ScsiGeneric& sg, int fd, PassThroughCall& call, DWORD* bytesReturned, DWORD& error)
{
    const SCSI_PASS_THROUGH& request = call.request;
    uint8_t cdb[sizeof request.Cdb];
    std::memcpy(cdb, request.Cdb, sizeof cdb);
    uint8_t sense[252] = {};  // the longest sense data SCSI allows

    sg_io_hdr_t header{};
    header.interface_id = 'S';
    if (call.dataLength == 0)
        header.dxfer_direction = SG_DXFER_NONE;
    else
        header.dxfer_direction = request.DataIn == SCSI_IOCTL_DATA_IN ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    header.cmd_len = request.CdbLength;
    header.cmdp = cdb;
    header.dxfer_len = call.dataLength;
    header.dxferp = call.data;
    header.mx_sb_len = sizeof sense;
    header.sbp = sense;
    // Seconds to milliseconds, saturating (the largest value means no limit
    // to sg, which is what a time-out of 136 years means anyway); 0 leaves
    // the device's default.
    constexpr uint64_t maxTimeout = std::numeric_limits<decltype(header.timeout)>::max();
    header.timeout = static_cast<decltype(header.timeout)>(std::min<uint64_t>(uint64_t{request.TimeOutValue} * 1000, maxTimeout));

    if (const int failure = sg.sgIo(fd, header); failure != 0) {
        error = errorFromErrno(failure);
        if (bytesReturned) *bytesReturned = 0;
        return FALSE;
    }
    if (!reachedDrive(header, error)) {
        if (bytesReturned) *bytesReturned = 0;
        return FALSE;
    }
    const uint32_t senseWritten = std::min<uint32_t>(header.sb_len_wr, sizeof sense);
    const int resid = std::clamp<int>(header.resid, 0, static_cast<int>(std::min<uint32_t>(call.dataLength, INT32_MAX)));
    const uint32_t transferred = call.dataLength - static_cast<uint32_t>(resid);
    error = ERROR_SUCCESS;
    return complete(call, header.status, sense, senseWritten, transferred, bytesReturned);
}

BOOL passThroughOnVirtual(VirtualUnit& unit, PassThroughCall& call, DWORD* bytesReturned, DWORD& error)
{
    const SCSI_PASS_THROUGH& request = call.request;
    // The virtual drive only ever sends data to the host.
    const bool dataIn = request.DataIn == SCSI_IOCTL_DATA_IN;
    const vdrive::ScsiReply reply =
        unit.execute(request.Cdb, request.CdbLength, dataIn ? call.data : nullptr, dataIn ? call.dataLength : 0);
    if (reply.transportFailure) {
        // The drive has vanished, as a real one does when it is unplugged.
        error = ERROR_DEVICE_NOT_CONNECTED;
        if (bytesReturned) *bytesReturned = 0;
        return FALSE;
    }
    error = ERROR_SUCCESS;
    return complete(call, reply.status, reply.sense, reply.senseLength, dataIn ? reply.transferred : 0,
                    bytesReturned);
}

}  // namespace rilvane::platform
