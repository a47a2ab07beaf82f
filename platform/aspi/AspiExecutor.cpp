#include "AspiExecutor.h"

#include "ScsiGeneric.h"
#include "UniqueFd.h"
#include "VirtualUnit.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rilvane::platform {

namespace {

constexpr uint8_t senseAreaSize = 32;

bool dataIn(uint8_t flags)
{
    // Neither direction bit: "as the command says". Every command this
    // layer is used for reads, so that counts as data in.
    const uint8_t direction = flags & (SRB_DIR_IN | SRB_DIR_OUT);
    return direction == SRB_DIR_IN || direction == 0;
}

void takeSense(AspiOutcome& outcome, const uint8_t* sense, uint32_t available, uint8_t wanted)
{
    outcome.senseLength = static_cast<uint8_t>(std::min<uint32_t>({available, wanted, senseAreaSize}));
    std::memcpy(outcome.sense, sense, outcome.senseLength);
}

// Linux host byte -> ASPI host adapter status.
BYTE hostStatusFor(unsigned short host)
{
    switch (host) {
    case 0x00: return HASTAT_OK;              // DID_OK
    case 0x01:                                // DID_NO_CONNECT
    case 0x04: return HASTAT_SEL_TO;          // DID_BAD_TARGET
    case 0x02: return HASTAT_BUS_FREE;        // DID_BUS_BUSY
    case 0x03: return HASTAT_COMMAND_TIMEOUT; // DID_TIME_OUT
    case 0x06: return HASTAT_PARITY_ERROR;    // DID_PARITY
    case 0x08: return HASTAT_BUS_RESET;       // DID_RESET
    default: return HASTAT_PHASE_ERR;         // aborts and other adapter errors
    }
}

UniqueFd openDevice(const std::string& path, int& error)
{
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    error = fd.valid() ? 0 : errno;
    return fd;
}

// Commands that read whole blocks: the data they bring is exactly what they
// ask for, so GOOD with less data means part of the read is missing. ASPI
// has no field for the length received; such a request fails with the host
// adapter's data underrun status instead of passing off a partly stale
// buffer as read. (Commands with an allocation length, INQUIRY and READ TOC,
// answer short as a matter of course.)
void refuseShortRead(AspiOutcome& outcome, const AspiRequest& request, uint32_t transferred)
{
    switch (request.cdb[0]) {
    case 0x08: case 0x28: case 0xA8: case 0xB9: case 0xBE: break;  // READ (6/10/12), READ CD (MSF)
    default: return;
    }
    if (outcome.status == SS_COMP && transferred < request.bufferLength) {
        outcome.status = SS_ERR;
        outcome.hostStatus = HASTAT_DO_DU;
    }
}

bool deviceGone(int error)
{
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

}  // namespace

AspiOutcome executeOnDevice(ScsiGeneric& sg, const std::string& devicePath, const AspiRequest& request)
{
    AspiOutcome outcome;
    int error = 0;
    UniqueFd fd = openDevice(devicePath, error);
    if (!fd.valid()) {
        outcome.status = deviceGone(error) ? SS_NO_DEVICE : SS_ERR;
        return outcome;
    }

    uint8_t cdb[16];
    std::memcpy(cdb, request.cdb, sizeof cdb);
    uint8_t sense[252] = {};
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    const uint8_t direction = request.flags & (SRB_DIR_IN | SRB_DIR_OUT);
    if (request.bufferLength == 0 || direction == (SRB_DIR_IN | SRB_DIR_OUT))
        header.dxfer_direction = SG_DXFER_NONE;
    else if (direction == SRB_DIR_OUT)
        header.dxfer_direction = SG_DXFER_TO_DEV;
    else if (direction == SRB_DIR_IN)
        header.dxfer_direction = SG_DXFER_FROM_DEV;
    else
        header.dxfer_direction = SG_DXFER_TO_FROM_DEV;  // direction left to the command
    header.cmd_len = request.cdbLength;
    header.cmdp = cdb;
    header.dxfer_len = header.dxfer_direction == SG_DXFER_NONE ? 0 : request.bufferLength;
    header.dxferp = header.dxfer_len ? request.buffer : nullptr;
    header.mx_sb_len = sizeof sense;
    header.sbp = sense;
    header.timeout = aspiCommandTimeoutMs;

    if (const int failure = sg.sgIo(fd.get(), header); failure != 0) {
        outcome.status = deviceGone(failure) ? SS_NO_DEVICE : SS_ERR;
        return outcome;
    }
    outcome.targetStatus = header.status;
    outcome.hostStatus = hostStatusFor(header.host_status);
    const unsigned driver = header.driver_status & 0x0F;
    if (outcome.hostStatus == HASTAT_OK && driver == 0x06)  // DRIVER_TIMEOUT
        outcome.hostStatus = HASTAT_COMMAND_TIMEOUT;
    else if (outcome.hostStatus == HASTAT_OK && driver != 0x00 && driver != 0x08)  // neither OK nor SENSE
        outcome.hostStatus = HASTAT_PHASE_ERR;
    takeSense(outcome, sense, std::min<uint32_t>(header.sb_len_wr, sizeof sense), request.senseLength);
    outcome.status = outcome.hostStatus == HASTAT_OK && outcome.targetStatus == 0 ? SS_COMP : SS_ERR;
    if (header.dxfer_direction == SG_DXFER_FROM_DEV) {
        const int resid = std::clamp<int>(header.resid, 0, static_cast<int>(std::min<uint32_t>(header.dxfer_len, INT32_MAX)));
        refuseShortRead(outcome, request, header.dxfer_len - static_cast<uint32_t>(resid));
    }
    return outcome;
}

AspiOutcome executeOnVirtual(VirtualUnit& unit, const AspiRequest& request)
{
    AspiOutcome outcome;
    const bool in = dataIn(request.flags) && request.bufferLength > 0;
    const vdrive::ScsiReply reply =
        unit.execute(request.cdb, request.cdbLength, in ? request.buffer : nullptr, in ? request.bufferLength : 0);
    if (reply.transportFailure) {
        // The drive has gone: no answer to selection, as with a real one.
        outcome.hostStatus = HASTAT_SEL_TO;
        outcome.status = SS_ERR;
        return outcome;
    }
    outcome.targetStatus = reply.status;
    takeSense(outcome, reply.sense, reply.senseLength, request.senseLength);
    outcome.status = reply.status == 0 ? SS_COMP : SS_ERR;
    if (in) refuseShortRead(outcome, request, reply.transferred);
    return outcome;
}

}  // namespace rilvane::platform
