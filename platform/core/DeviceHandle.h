// What CreateFileA("\\\\.\\E:") returns: the drive behind the letter, open
// until the handle is closed.
#pragma once

#include "HandleTable.h"
#include "ScsiTarget.h"

#include <memory>

namespace rilvane::platform {

class DeviceHandle : public HandleObject {
public:
    explicit DeviceHandle(std::shared_ptr<ScsiTarget> target) : target_(std::move(target)) {}

    ScsiTarget& target() const { return *target_; }

private:
    std::shared_ptr<ScsiTarget> target_;
};

}  // namespace rilvane::platform
