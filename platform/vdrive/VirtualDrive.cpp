#include "VirtualDrive.h"

#include "MediumSlot.h"

namespace rilvane::vdrive {

std::unique_ptr<VirtualDrive> VirtualDrive::load(const std::string& cuePath, const std::string& defectsPath,
                                                 std::string& error)
{
    return MediumSlot::load(cuePath, defectsPath, error);
}

}  // namespace rilvane::vdrive
