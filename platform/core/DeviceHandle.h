// What CreateFileA("\\\\.\\E:") returns: an open optical drive or a bound
// virtual drive.
#pragma once

#include "HandleTable.h"
#include "UniqueFd.h"
#include "VirtualUnit.h"

#include <memory>
#include <string>

namespace rilvane::platform {

class DeviceHandle : public HandleObject {
public:
    DeviceHandle(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    explicit DeviceHandle(std::shared_ptr<VirtualUnit> unit) : unit_(std::move(unit)) {}

    int fd() const { return fd_.get(); }
    VirtualUnit* virtualUnit() const { return unit_.get(); }
    const std::string& path() const { return path_; }

private:
    UniqueFd fd_;
    std::string path_;
    std::shared_ptr<VirtualUnit> unit_;
};

}  // namespace rilvane::platform
