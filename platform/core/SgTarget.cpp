#include "SgTarget.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace rilvane::platform {

namespace {

// Linux host byte (DID_*) and driver byte (DRIVER_*) values of sg_io_hdr.
constexpr uint16_t didOk = 0x00, didNoConnect = 0x01, didBusBusy = 0x02, didTimeOut = 0x03, didBadTarget = 0x04,
                   didParity = 0x06, didReset = 0x08;
constexpr uint16_t driverOk = 0x00, driverTimeout = 0x06, driverSense = 0x08;
// The driver byte's high nibble holds "suggestions" for the kernel's error
// handler, not a result.
constexpr uint16_t driverResultMask = 0x0F;

// Whether the command reached the drive and came back with a status byte.
// A drive that rejects a command (a scratched sector, an unknown opcode)
// answers CHECK CONDITION: host byte DID_OK, driver byte DRIVER_SENSE and
// the sense data. That command completed; only when it never finished at
// the drive (no device there, a time-out, a bus reset or abort, an adapter
// error) is it undelivered. The host byte is judged before the driver byte.
Delivery deliveryOf(const sg_io_hdr_t& header)
{
    switch (header.host_status) {
    case didOk: break;
    case didNoConnect:
    case didBadTarget: return Delivery::NotConnected;
    case didBusBusy: return Delivery::BusBusy;
    case didTimeOut: return Delivery::TimedOut;
    case didParity: return Delivery::ParityError;
    case didReset: return Delivery::BusReset;
    default: return Delivery::AdapterError;
    }
    switch (header.driver_status & driverResultMask) {
    case driverOk:
    case driverSense: return Delivery::Completed;
    case driverTimeout: return Delivery::TimedOut;
    default: return Delivery::AdapterError;
    }
}

int directionFor(DataDirection direction)
{
    switch (direction) {
    case DataDirection::In: return SG_DXFER_FROM_DEV;
    case DataDirection::Out: return SG_DXFER_TO_DEV;
    case DataDirection::Unspecified: return SG_DXFER_TO_FROM_DEV;
    case DataDirection::None: break;
    }
    return SG_DXFER_NONE;
}

}  // namespace

SgTarget::SgTarget(std::shared_ptr<ScsiGeneric> sg, UniqueFd fd) : sg_(std::move(sg)), fd_(std::move(fd)) {}

ScsiResult SgTarget::execute(const ScsiExchange& exchange)
{
    ScsiResult result;
    uint8_t cdb[16] = {};
    std::memcpy(cdb, exchange.cdb, std::min<std::size_t>(exchange.cdbLength, sizeof cdb));

    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.dxfer_direction = exchange.dataLength == 0 ? SG_DXFER_NONE : directionFor(exchange.direction);
    header.cmd_len = exchange.cdbLength;
    header.cmdp = cdb;
    if (header.dxfer_direction != SG_DXFER_NONE) {
        header.dxfer_len = exchange.dataLength;
        header.dxferp = exchange.data;
    }
    header.mx_sb_len = sizeof result.sense;
    header.sbp = result.sense;
    header.timeout = exchange.timeoutMs;

    if (const int failure = sg_->sgIo(fd_.get(), header); failure != 0) {
        result.delivery = Delivery::SystemError;
        result.systemError = failure;
        return result;
    }
    result.delivery = deliveryOf(header);
    result.status = header.status;
    result.senseLength = std::min<uint32_t>(header.sb_len_wr, sizeof result.sense);
    // A residue outside the transfer is the driver's mistake; clamp it.
    const int resid = std::clamp<int>(header.resid, 0, static_cast<int>(std::min<uint32_t>(header.dxfer_len, INT_MAX)));
    result.transferred = header.dxfer_len - static_cast<uint32_t>(resid);
    return result;
}

}  // namespace rilvane::platform
