#include "VirtualDrive.h"

#include "DefectMap.h"
#include "DiscImage.h"
#include "ImageDrive.h"
#include "MediumSlot.h"

namespace rilvane::vdrive {

std::unique_ptr<VirtualDrive> VirtualDrive::load(const std::string& cuePath, const std::string& defectsPath,
                                                 std::string& error)
{
    error.clear();
    auto image = DiscImage::open(cuePath, error);
    if (!image)
        return nullptr;
    DefectMap defects;
    if (!defectsPath.empty()) {
        auto loaded = DefectMap::load(defectsPath, error);
        if (!loaded)
            return nullptr;
        defects = std::move(*loaded);
    }
    const bool descriptorSense = defects.descriptorSense();
    return std::make_unique<MediumSlot>(std::make_unique<ImageDrive>(std::move(image), std::move(defects)),
                                        descriptorSense);
}

}  // namespace rilvane::vdrive
