// The kernel objects that make a TCMU device a SCSI drive of this machine,
// made through configfs and removed again in reverse order:
//   target/core/user_0/NAME                    the device (TCMU backstore)
//   target/loopback/naa.T/tpgt_1/nexus         a loopback SCSI host (tcm_loop)
//   target/loopback/naa.T/tpgt_1/lun/lun_0/D   the device as its LUN 0
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rilvane::kerneldrive {

// What keeps the tool from making a drive here, one line each (empty: nothing).
std::vector<std::string> missingPrerequisites();

class TargetConfig {
public:
    explicit TargetConfig(std::string name);
    ~TargetConfig();  // removes whatever was made
    TargetConfig(const TargetConfig&) = delete;
    TargetConfig& operator=(const TargetConfig&) = delete;

    // The TCMU device, sizeBytes large; after it the UIO node exists.
    bool createDevice(uint64_t sizeBytes, std::string& error);
    // The loopback host with the device as LUN 0: the kernel scans it and
    // sends its first commands, so the ring must be served by then.
    bool createLun(std::string& error);
    // Takes the LUN away again (the drive is gone for the kernel).
    void removeLun();
    void removeAll();

    const std::string& name() const { return name_; }
    // "H:C:T:L" of the SCSI device once the LUN exists, else empty.
    std::string scsiAddress() const;

private:
    std::string name_;
    std::string devicePath_;
    std::string wwnPath_;
    bool device_ = false;
    bool lun_ = false;
    bool nexus_ = false;
};

// /dev/srN and /dev/sgN of a SCSI address (each empty while not there).
std::string blockNodeOf(const std::string& address);
std::string genericNodeOf(const std::string& address);

}  // namespace rilvane::kerneldrive
