#include "OpenTargets.h"

namespace rilvane::platform {

OpenTargets& OpenTargets::instance()
{
    // Destroyed when the library is unloaded (or at exit), which closes the
    // drives it still holds.
    static OpenTargets targets;
    return targets;
}

std::shared_ptr<ScsiTarget> OpenTargets::get(const std::shared_ptr<const DeviceMap>& map, const AspiTarget& place,
                                             int& error)
{
    error = 0;
    std::lock_guard lock(mutex_);
    if (map_.lock() != map) {
        // Requests still running on a drive of the old map hold it until
        // they end.
        open_.clear();
        map_ = map;
    }
    const Place key = placeOf(place);
    if (auto found = open_.find(key); found != open_.end()) return found->second;
    std::shared_ptr<ScsiTarget> target = openScsiTarget(place.devicePath, place.unit, error);
    if (target) open_.emplace(key, target);
    return target;
}

void OpenTargets::forget(const AspiTarget& place, const ScsiTarget& target)
{
    std::lock_guard lock(mutex_);
    // Another request may have opened the drive again in the meantime.
    if (auto found = open_.find(placeOf(place)); found != open_.end() && found->second.get() == &target)
        open_.erase(found);
}

}  // namespace rilvane::platform
