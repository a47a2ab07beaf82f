#include "SectorCache.h"

#include <cstring>

namespace rilvane::vdrive {

bool SectorCache::lookup(int64_t sector, uint8_t* raw) const
{
    const auto hit = entries_.find(sector);
    if (hit == entries_.end())
        return false;
    std::memcpy(raw, hit->second.bytes.data(), kSectorBytes);
    return true;
}

void SectorCache::remember(int64_t sector, const uint8_t* raw)
{
    if (capacity_ == 0)
        return;
    auto it = entries_.find(sector);
    if (it != entries_.end()) {
        order_.erase(it->second.place);
    } else {
        if (entries_.size() >= capacity_) {
            entries_.erase(order_.back());
            order_.pop_back();
        }
        it = entries_.emplace(sector, Entry{}).first;
    }
    order_.push_front(sector);
    it->second.place = order_.begin();
    std::memcpy(it->second.bytes.data(), raw, kSectorBytes);
}

}  // namespace rilvane::vdrive
