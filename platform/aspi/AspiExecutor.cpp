#include "AspiExecutor.h"

#include "ScsiTarget.h"

#include <algorithm>
#include <cstring>

namespace rilvane::platform {

namespace {

constexpr uint8_t senseAreaSize = 32;

// READ (6), READ (10), READ (12), READ CD MSF and READ CD.
constexpr uint8_t blockReadOpcodes[] = {0x08, 0x28, 0xA8, 0xB9, 0xBE};

DataDirection directionOf(const AspiRequest& request)
{
    if (request.bufferLength == 0) return DataDirection::None;
    switch (request.flags & (SRB_DIR_IN | SRB_DIR_OUT)) {
    case SRB_DIR_IN: return DataDirection::In;
    case SRB_DIR_OUT: return DataDirection::Out;
    case 0: return DataDirection::Unspecified;  // "as the command says"
    default: return DataDirection::None;        // both bits: no data phase
    }
}

// The host adapter status for a command that did not complete at the drive.
BYTE hostStatusFor(Delivery delivery)
{
    switch (delivery) {
    case Delivery::Completed:
    case Delivery::SystemError: return HASTAT_OK;
    case Delivery::NotConnected: return HASTAT_SEL_TO;
    case Delivery::TimedOut: return HASTAT_COMMAND_TIMEOUT;
    case Delivery::BusBusy: return HASTAT_BUS_FREE;
    case Delivery::ParityError: return HASTAT_PARITY_ERROR;
    case Delivery::BusReset: return HASTAT_BUS_RESET;
    case Delivery::AdapterError: break;
    }
    return HASTAT_PHASE_ERR;
}

// Commands that read whole blocks: the data they bring is exactly what they
// ask for, so GOOD with less data means part of the read is missing. ASPI
// has no field for the length received; such a request fails with the host
// adapter's data underrun status instead of passing off a partly stale
// buffer as read. (Commands with an allocation length, INQUIRY and READ TOC,
// answer short as a matter of course.)
void refuseShortRead(AspiOutcome& outcome, const AspiRequest& request, uint32_t transferred)
{
    if (std::find(std::begin(blockReadOpcodes), std::end(blockReadOpcodes), request.cdb[0]) ==
        std::end(blockReadOpcodes))
        return;
    if (outcome.status == SS_COMP && transferred < request.bufferLength) {
        outcome.status = SS_ERR;
        outcome.hostStatus = HASTAT_DO_DU;
    }
}

}  // namespace

AspiOutcome unreachable(int error)
{
    AspiOutcome outcome;
    outcome.deviceGone = isDeviceGone(error);
    outcome.status = outcome.deviceGone ? SS_NO_DEVICE : SS_ERR;
    return outcome;
}

AspiOutcome executeOn(ScsiTarget& target, const AspiRequest& request)
{
    ScsiExchange exchange;
    exchange.cdb = request.cdb;
    exchange.cdbLength = request.cdbLength;
    exchange.direction = directionOf(request);
    exchange.data = exchange.direction == DataDirection::None ? nullptr : request.buffer;
    exchange.dataLength = exchange.direction == DataDirection::None ? 0 : request.bufferLength;
    exchange.timeoutMs = aspiCommandTimeoutMs;

    const ScsiResult result = target.execute(exchange);
    if (result.delivery == Delivery::SystemError) return unreachable(result.systemError);

    AspiOutcome outcome;
    outcome.hostStatus = hostStatusFor(result.delivery);
    outcome.targetStatus = result.status;
    outcome.senseLength = static_cast<uint8_t>(std::min<uint32_t>({result.senseLength, request.senseLength, senseAreaSize}));
    std::memcpy(outcome.sense, result.sense, outcome.senseLength);
    outcome.status = outcome.hostStatus == HASTAT_OK && outcome.targetStatus == 0 ? SS_COMP : SS_ERR;
    if (exchange.direction == DataDirection::In || exchange.direction == DataDirection::Unspecified)
        refuseShortRead(outcome, request, result.transferred);
    return outcome;
}

}  // namespace rilvane::platform
