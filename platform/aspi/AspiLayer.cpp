// The ASPI for Win32 entry points, GetASPI32SupportInfo and
// SendASPI32Command, over the platform's device map.
//
// Host adapters and targets are those of the SCSI generic devices plus the
// virtual drives configured as aspi:H:T (see DeviceMap.h). Requests:
//   SC_HA_INQUIRY    fills in the adapter's description, completes at once
//   SC_GET_DEV_TYPE  the peripheral device type, completes at once
//   SC_EXEC_SCSI_CMD returns SS_PENDING, unless the request is refused at
//                    once
//
// An execute request runs on the caller's thread before SendASPI32Command
// returns: every caller waits for the post event (or polls the status)
// anyway, and a hand-over to another thread cost two context switches per
// command. The answer is still SS_PENDING, and the record is completed as an
// asynchronous layer completes it, in this order: host adapter status,
// target status and sense bytes, then SRB_Status (a release store), then
// SetEvent on the post event. A caller that resets the event, sends, and
// waits while the answer is SS_PENDING finds the event already set and the
// whole record filled in; the layer never touches the record once the event
// is set (the caller may free it). Requests from several threads run side by
// side; a virtual drive takes its commands one at a time.
//
// The execute record carries the data buffer as a 32-bit address
// (SRB_BufPointer). On a 64-bit build that holds a real address because the
// program allocates its transfer blocks with VirtualAlloc, which on Linux
// hands out memory below 4 GiB only. Addresses that are not usable memory
// are refused with SS_INVALID_SRB rather than followed.

#include "AspiExecutor.h"
#include "BufferCheck.h"
#include "DeviceMap.h"
#include "HandleTable.h"
#include "OpenTargets.h"
#include "platform/WnAspi32.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#define RILVANE_ASPI_API extern "C" __attribute__((visibility("default")))

namespace {

using namespace rilvane::platform;

// The largest transfer one request may ask for (reported in HA_Unique).
constexpr DWORD maxTransferLength = 0x100000;

void setStatus(BYTE& field, BYTE status)
{
    std::atomic_ref<BYTE>(field).store(status, std::memory_order_release);
}

void copyText(BYTE (&field)[16], const std::string& text)
{
    std::memset(field, ' ', sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

DWORD haInquiry(SRB_HAInquiry& srb, const DeviceMap& map)
{
    const int count = map.adapterCount();
    srb.HA_Count = static_cast<BYTE>(count);
    if (srb.SRB_HaId >= count) {
        srb.SRB_Status = SS_INVALID_HA;
        return SS_INVALID_HA;
    }
    srb.HA_SCSI_ID = 7;  // the usual id of a host adapter
    copyText(srb.HA_ManagerId, "ASPI for WIN32");
    std::string identifier = "Virtual drives";
    for (const auto& target : map.aspiTargets())
        if (target.adapter == srb.SRB_HaId && target.host >= 0) identifier = "Linux scsi" + std::to_string(target.host);
    copyText(srb.HA_Identifier, identifier);
    std::memset(srb.HA_Unique, 0, sizeof srb.HA_Unique);
    srb.HA_Unique[3] = 16;  // targets per adapter
    std::memcpy(srb.HA_Unique + 4, &maxTransferLength, sizeof maxTransferLength);
    srb.SRB_Status = SS_COMP;
    return SS_COMP;
}

DWORD getDeviceType(SRB_GDEVBlock& srb, const DeviceMap& map)
{
    if (srb.SRB_HaId >= map.adapterCount()) {
        srb.SRB_Status = SS_INVALID_HA;
        return SS_INVALID_HA;
    }
    const AspiTarget* target = map.aspiTarget(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
    if (target == nullptr) {
        srb.SRB_Status = SS_NO_DEVICE;
        return SS_NO_DEVICE;
    }
    srb.SRB_DeviceType = target->deviceType;
    srb.SRB_Status = SS_COMP;
    return SS_COMP;
}

DWORD refuse(SRB_ExecSCSICmd& srb, BYTE status)
{
    setStatus(srb.SRB_Status, status);
    return status;
}

// Fills in the record of a request that has run; the status last, so that
// a caller who polls it instead of waiting finds the rest complete once it
// changes.
void complete(SRB_ExecSCSICmd& srb, const AspiOutcome& outcome, HANDLE event)
{
    srb.SRB_HaStat = outcome.hostStatus;
    srb.SRB_TargStat = outcome.targetStatus;
    if (outcome.senseLength > 0) std::memcpy(srb.SenseArea, outcome.sense, outcome.senseLength);
    setStatus(srb.SRB_Status, outcome.status);
    if (event != nullptr) SetEvent(event);
}

DWORD execute(SRB_ExecSCSICmd& srb, const std::shared_ptr<const DeviceMap>& map)
{
    if (srb.SRB_HaId >= map->adapterCount()) return refuse(srb, SS_INVALID_HA);
    const AspiTarget* place = map->aspiTarget(srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun);
    if (place == nullptr) return refuse(srb, SS_NO_DEVICE);

    // Posting a callback (SRB_POSTING) would need a code address in the
    // 32-bit SRB_PostProc field; only event notification is offered.
    if ((srb.SRB_Flags & SRB_POSTING) != 0) return refuse(srb, SS_INVALID_SRB);
    if (srb.SRB_CDBLen == 0 || srb.SRB_CDBLen > sizeof srb.CDBByte) return refuse(srb, SS_INVALID_SRB);
    if (srb.SRB_BufLen > maxTransferLength) return refuse(srb, SS_BUFFER_TO_BIG);

    AspiRequest request;
    request.cdbLength = srb.SRB_CDBLen;
    std::memcpy(request.cdb, srb.CDBByte, srb.SRB_CDBLen);
    request.flags = srb.SRB_Flags;
    request.senseLength = srb.SRB_SenseLen;
    request.bufferLength = srb.SRB_BufLen;
    request.buffer = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(srb.SRB_BufPointer));
    if (request.bufferLength > 0) {
        const bool toDevice = (srb.SRB_Flags & (SRB_DIR_IN | SRB_DIR_OUT)) == SRB_DIR_OUT;
        if (!isUsableBuffer(request.buffer, request.bufferLength, !toDevice)) return refuse(srb, SS_INVALID_SRB);
    } else {
        request.buffer = nullptr;
    }
    HANDLE event = nullptr;
    if ((srb.SRB_Flags & SRB_EVENT_NOTIFY) != 0) {
        event = HandleTable::fromValue(srb.SRB_PostProc);
        if (!HandleTable::instance().get(event)) return refuse(srb, SS_INVALID_SRB);
    }

    setStatus(srb.SRB_Status, SS_PENDING);
    int error = 0;
    const std::shared_ptr<ScsiTarget> target = OpenTargets::instance().get(map, *place, error);
    const AspiOutcome outcome = target ? executeOn(*target, request) : unreachable(error);
    if (target && outcome.deviceGone) OpenTargets::instance().forget(*place, *target);
    complete(srb, outcome, event);
    return SS_PENDING;
}

}  // namespace

RILVANE_ASPI_API DWORD GetASPI32SupportInfo(void)
{
    // A machine without any SCSI host is not a failure of the layer: it
    // answers success with no adapters, and the program finds no drive.
    const int count = devices()->adapterCount();
    return (DWORD{SS_COMP} << 8) | static_cast<DWORD>(count);
}

RILVANE_ASPI_API DWORD SendASPI32Command(void* record)
{
    if (record == nullptr) return SS_INVALID_SRB;
    // Every record starts with the request code and the status byte.
    auto* header = static_cast<BYTE*>(record);
    const auto map = devices();
    switch (header[0]) {
    case SC_HA_INQUIRY: return haInquiry(*static_cast<SRB_HAInquiry*>(record), *map);
    case SC_GET_DEV_TYPE: return getDeviceType(*static_cast<SRB_GDEVBlock*>(record), *map);
    case SC_EXEC_SCSI_CMD: return execute(*static_cast<SRB_ExecSCSICmd*>(record), map);
    default:
        header[1] = SS_INVALID_CMD;
        return SS_INVALID_CMD;
    }
}
