// The drives the ASPI layer has open: each target is opened on its first
// request and kept for the following ones while the layer is loaded, as a
// pass-through handle keeps its drive from CreateFileA to CloseHandle.
//
// The targets belong to one device map. When the map is built again, the
// next request closes them all and opens its target from the new map; a
// drive that went away is closed so that the next request opens it afresh.
#pragma once

#include "DeviceMap.h"
#include "ScsiTarget.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

namespace rilvane::platform {

class OpenTargets {
public:
    static OpenTargets& instance();

    // The open drive at a place of the map, opened now if it is not yet.
    // nullptr with error set (errno value) when it cannot be opened.
    std::shared_ptr<ScsiTarget> get(const std::shared_ptr<const DeviceMap>& map, const AspiTarget& place, int& error);

    // Closes the drive at a place after it was found gone.
    void forget(const AspiTarget& place, const ScsiTarget& target);

private:
    OpenTargets() = default;
    using Place = std::tuple<uint8_t, uint8_t, uint8_t>;  // adapter, target, LUN
    static Place placeOf(const AspiTarget& place) { return {place.adapter, place.target, place.lun}; }

    std::mutex mutex_;
    std::weak_ptr<const DeviceMap> map_;
    std::map<Place, std::shared_ptr<ScsiTarget>> open_;
};

}  // namespace rilvane::platform
