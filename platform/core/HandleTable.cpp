#include "HandleTable.h"

namespace rilvane::platform {

HandleTable& HandleTable::instance()
{
    // Never destroyed: feeder and worker threads of the other layers may
    // still close handles while static objects are torn down at exit.
    static HandleTable* table = new HandleTable();
    return *table;
}

HANDLE HandleTable::add(std::shared_ptr<HandleObject> object)
{
    if (!object) return nullptr;
    std::lock_guard lock(mutex_);
    if (entries_.size() >= maxValue) return nullptr;
    // Values count up and are reused only after a wrap, so a stale handle
    // almost never names a newer object.
    while (entries_.count(next_) != 0) next_ = next_ >= maxValue ? 1 : next_ + 1;
    const uint32_t value = next_;
    next_ = next_ >= maxValue ? 1 : next_ + 1;
    entries_.emplace(value, std::move(object));
    return fromValue(value);
}

std::shared_ptr<HandleObject> HandleTable::get(HANDLE handle) const
{
    const uint32_t value = valueOf(handle);
    if (value == 0) return nullptr;
    std::lock_guard lock(mutex_);
    auto it = entries_.find(value);
    return it == entries_.end() ? nullptr : it->second;
}

std::shared_ptr<HandleObject> HandleTable::remove(HANDLE handle)
{
    const uint32_t value = valueOf(handle);
    if (value == 0) return nullptr;
    std::shared_ptr<HandleObject> object;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(value);
        if (it == entries_.end()) return nullptr;
        object = std::move(it->second);
        entries_.erase(it);
    }
    return object;
}

bool HandleTable::close(HANDLE handle)
{
    const uint32_t value = valueOf(handle);
    if (value == 0) return false;
    std::shared_ptr<HandleObject> object;  // destroyed after the lock is released
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(value);
        if (it == entries_.end() || !it->second->closedByCloseHandle()) return false;
        object = std::move(it->second);
        entries_.erase(it);
    }
    return true;
}

std::size_t HandleTable::size() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

uint32_t HandleTable::valueOf(HANDLE handle)
{
    const auto raw = reinterpret_cast<uintptr_t>(handle);
    if (raw == 0 || raw > maxValue) return 0;
    return static_cast<uint32_t>(raw);
}

HANDLE HandleTable::fromValue(uint32_t value)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

}  // namespace rilvane::platform
