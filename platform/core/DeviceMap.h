// Which drives the platform offers: drive letters for the pass-through and
// host adapters/targets for the ASPI layer.
//
// Letters: virtual drives take the letters they are configured with; C: is
// the fixed disk (the root file system), as on every Windows machine; the
// optical drives /dev/sr0, /dev/sr1, ... get D:, E:, ... in that order,
// skipping letters already taken.
//
// ASPI: every distinct SCSI host of the /dev/sgN devices becomes one host
// adapter, numbered from 0 in ascending host order; targets and LUNs are the
// devices' own. Virtual drives configured as aspi:H:T sit at adapter H,
// target T, LUN 0 (and win over a real device at the same place).
//
// The map is built once, on first use, from the environment
// (RILVANE_VIRTUAL_DRIVES, RILVANE_NO_REAL_DRIVES, RILVANE_DEVICE_DIR); this
// header is the platform's own interface for the ASPI library and the tests.
//
// Every optical node examined is kept with its state: an /dev/srN that does
// not open, or an /dev/sgN of a CD device that does not open or answer, is
// reported once on stderr with the system's reason, and listed by
// opticalNodes().
#pragma once

#include "VirtualUnit.h"
#include "platform/DeviceNodes.h"
#include "platform/Win32.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rilvane::platform {

class ScsiGeneric;

struct DeviceOptions {
    std::string virtualDrives;          // RILVANE_VIRTUAL_DRIVES
    bool realDrives = true;             // false with RILVANE_NO_REAL_DRIVES=1
    std::string deviceDirectory = "/dev";  // RILVANE_DEVICE_DIR

    static DeviceOptions fromEnvironment();
};

struct LetterDrive {
    enum class Kind { None, Fixed, Optical, Virtual };
    Kind kind = Kind::None;
    std::string devicePath;               // Optical: /dev/srN
    std::shared_ptr<VirtualUnit> unit;    // Virtual
};

// One SCSI generic device as the kernel describes it.
struct SgDevice {
    std::string path;  // /dev/sgN
    int host = 0;
    int channel = 0;
    int target = 0;
    int lun = 0;
    int type = 0;      // peripheral device type (5: CD device)
};

struct AspiTarget {
    uint8_t adapter = 0;
    uint8_t target = 0;
    uint8_t lun = 0;
    uint8_t deviceType = 0;
    std::string devicePath;               // a real device: /dev/sgN
    std::shared_ptr<VirtualUnit> unit;    // a virtual drive
    int host = -1;                        // the real device's SCSI host, -1 for virtual
};

class DeviceMap {
public:
    // Scans the device folder (unless real drives are off) with sg for the
    // ioctls, loads the virtual drives, and appends one line per entry that
    // had to be skipped to messages.
    static std::shared_ptr<const DeviceMap> build(const DeviceOptions& options, ScsiGeneric& sg,
                                                  std::vector<std::string>& messages);

    const LetterDrive& letter(char letter) const;  // Kind::None for a free letter
    DWORD logicalDrives() const;                   // bit 0 = A:

    const std::vector<AspiTarget>& aspiTargets() const { return aspiTargets_; }
    const AspiTarget* aspiTarget(uint8_t adapter, uint8_t target, uint8_t lun) const;
    // Highest adapter id + 1, 0 when there is no ASPI device at all.
    int adapterCount() const;

    // The optical nodes examined, usable or not.
    const std::vector<OpticalNode>& opticalNodes() const { return opticalNodes_; }

    // Adapter ids for real devices: each distinct host in ascending order.
    static std::vector<AspiTarget> numberAdapters(const std::vector<SgDevice>& devices);

private:
    std::array<LetterDrive, 26> letters_;
    std::vector<AspiTarget> aspiTargets_;
    std::vector<OpticalNode> opticalNodes_;
};

// The map in use, built from the environment on first use (thread-safe).
std::shared_ptr<const DeviceMap> devices();

// Builds the map again, from the environment or from the given options, and
// prints the lines about skipped entries to stderr. Handles opened earlier
// keep their drives.
void reloadDevices();
void reloadDevices(const DeviceOptions& options);

}  // namespace rilvane::platform
