// The one table of handles shared by the program, the ASPI layer and the
// DirectSound layer.
//
// A handle is a small integer (never 0, always below 2^31, so it fits the
// 32-bit handle fields of the ASPI records) carried in a HANDLE. Entries are
// reference counted: a call that looks a handle up keeps its object alive
// for as long as it works with it, so CloseHandle on another thread (during
// a wait, say) only drops the table's reference.
#pragma once

#include "platform/Win32.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace rilvane::platform {

// Anything a handle can stand for: an event, a device, a loaded library.
class HandleObject {
public:
    virtual ~HandleObject() = default;

    // Whether CloseHandle releases this kind of object (libraries are
    // released with FreeLibrary only).
    virtual bool closedByCloseHandle() const { return true; }
};

class HandleTable {
public:
    static HandleTable& instance();

    // Stores the object and returns its new handle; nullptr when the table
    // is full (2^31 - 1 live handles).
    HANDLE add(std::shared_ptr<HandleObject> object);

    // The object behind a handle, or nullptr for an unknown handle.
    std::shared_ptr<HandleObject> get(HANDLE handle) const;

    template <typename T>
    std::shared_ptr<T> getAs(HANDLE handle) const
    {
        return std::dynamic_pointer_cast<T>(get(handle));
    }

    // Removes a handle and returns its object (nullptr if unknown).
    std::shared_ptr<HandleObject> remove(HANDLE handle);

    // CloseHandle: removes the handle unless its object refuses. Returns
    // false for an unknown or refused handle.
    bool close(HANDLE handle);

    // Removes the handle only when it stands for an object of type T.
    template <typename T>
    std::shared_ptr<T> removeIf(HANDLE handle)
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(valueOf(handle));
        if (it == entries_.end()) return nullptr;
        auto typed = std::dynamic_pointer_cast<T>(it->second);
        if (typed) entries_.erase(it);
        return typed;
    }

    std::size_t size() const;

    // The integer value of a handle, or 0 when it cannot be one of ours.
    static uint32_t valueOf(HANDLE handle);
    static HANDLE fromValue(uint32_t value);

    static constexpr uint32_t maxValue = 0x7FFFFFFFu;

private:
    HandleTable() = default;

    mutable std::mutex mutex_;
    std::unordered_map<uint32_t, std::shared_ptr<HandleObject>> entries_;
    uint32_t next_ = 1;
};

}  // namespace rilvane::platform
