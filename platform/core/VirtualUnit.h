// A configured virtual drive as the platform holds it: the drive and the
// lock that lets its commands run one at a time, whichever handle or ASPI
// request they come from.
#pragma once

#include "ScsiTarget.h"
#include "VirtualDrive.h"

#include <memory>
#include <mutex>
#include <string>

namespace rilvane::platform {

class VirtualUnit final : public ScsiTarget {
public:
    VirtualUnit(std::unique_ptr<vdrive::VirtualDrive> drive, std::string description);

    // The drive only ever sends data to the host: an exchange in any other
    // direction runs without a data phase. A "gone" defect is a target that
    // does not answer (Delivery::NotConnected).
    ScsiResult execute(const ScsiExchange& exchange) override;

    // Where it came from, e.g. "E=/discs/a.cue" (for messages).
    const std::string& description() const { return description_; }

private:
    std::mutex mutex_;
    std::unique_ptr<vdrive::VirtualDrive> drive_;
    const std::string description_;
};

}  // namespace rilvane::platform
