// One SCSI device as both of the platform's transports reach it: the
// pass-through (DeviceIoControl on a drive letter) and the ASPI layer. A
// target is a real drive opened through SCSI generic (SgTarget.h) or a
// virtual drive (VirtualUnit.h); the callers never ask which.
//
// A target stays open for as long as its holder keeps it: a pass-through
// handle from CreateFileA to CloseHandle, an ASPI target while the ASPI
// layer is loaded. Its commands may come from several threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace rilvane::platform {

class VirtualUnit;

enum class DataDirection {
    None,         // no data phase
    In,           // the device sends data to the host
    Out,          // the host sends data to the device
    Unspecified,  // as the command says (treated as data in where it must be one)
};

struct ScsiExchange {
    const uint8_t* cdb = nullptr;
    uint8_t cdbLength = 0;        // 1 to 16
    DataDirection direction = DataDirection::None;
    uint8_t* data = nullptr;      // nullptr when dataLength is 0
    uint32_t dataLength = 0;
    uint32_t timeoutMs = 0;       // 0: the device's default
};

// How far a command got. Only a Completed command has a status byte that
// means something; the others never finished at the drive.
enum class Delivery {
    Completed,
    NotConnected,  // nobody answered: no device at that address, or it is gone
    TimedOut,
    BusBusy,
    ParityError,
    BusReset,
    AdapterError,  // aborted, or any other failure of the adapter or driver
    SystemError,   // the request could not even be handed to the kernel
};

struct ScsiResult {
    Delivery delivery = Delivery::Completed;
    int systemError = 0;         // errno, with Delivery::SystemError
    uint8_t status = 0;          // the SCSI status byte
    uint8_t sense[252] = {};     // 252: the longest sense data SCSI allows
    uint32_t senseLength = 0;
    uint32_t transferred = 0;    // bytes of data actually moved, at most dataLength
};

class ScsiTarget {
public:
    virtual ~ScsiTarget() = default;
    virtual ScsiResult execute(const ScsiExchange& exchange) = 0;
};

// The one place that decides between a virtual and a real drive: with a
// unit, the virtual drive itself; otherwise the device node, opened through
// the ScsiGeneric seam read-write (read-only where that is all we may do).
// On failure returns nullptr with error set to the errno value.
std::shared_ptr<ScsiTarget> openScsiTarget(const std::string& devicePath, std::shared_ptr<VirtualUnit> unit,
                                           int& error);

// Whether an errno value from opening or using a node means the device is
// not there (any more).
bool isDeviceGone(int error);

}  // namespace rilvane::platform
