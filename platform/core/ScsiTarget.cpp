#include "ScsiTarget.h"

#include "SgTarget.h"
#include "VirtualUnit.h"

#include <cerrno>

namespace rilvane::platform {

std::shared_ptr<ScsiTarget> openScsiTarget(const std::string& devicePath, std::shared_ptr<VirtualUnit> unit,
                                           int& error)
{
    error = 0;
    if (unit) return unit;
    std::shared_ptr<ScsiGeneric> sg = scsiGeneric();
    UniqueFd fd = openDeviceNode(*sg, devicePath, error);
    if (!fd.valid()) return nullptr;
    return std::make_shared<SgTarget>(std::move(sg), std::move(fd));
}

bool isDeviceGone(int error)
{
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

}  // namespace rilvane::platform
