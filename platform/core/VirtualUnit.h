// A configured virtual drive as the platform holds it: the drive and the
// lock that lets its commands run one at a time, whichever handle or ASPI
// request they come from.
#pragma once

#include "VirtualDrive.h"

#include <memory>
#include <mutex>
#include <string>

namespace rilvane::platform {

class VirtualUnit {
public:
    VirtualUnit(std::unique_ptr<vdrive::VirtualDrive> drive, std::string description);

    vdrive::ScsiReply execute(const uint8_t* cdb, std::size_t cdbLength, uint8_t* data, uint32_t dataLength);

    // Where it came from, e.g. "E=/discs/a.cue" (for messages).
    const std::string& description() const { return description_; }

private:
    std::mutex mutex_;
    std::unique_ptr<vdrive::VirtualDrive> drive_;
    const std::string description_;
};

}  // namespace rilvane::platform
