// A manual-reset event, closed when the owner goes.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

namespace rilvane {

class EventHandle {
public:
    EventHandle() = default;
    ~EventHandle() { close(); }
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;

    // Creates a manual-reset event that starts not signalled; false when the
    // platform gives none. An event held before is closed first.
    bool create();
    void close();

    bool valid() const { return handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    // The handle's value as the 32-bit post field of an ASPI request holds it.
    uint32_t value() const { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle_)); }

private:
    HANDLE handle_ = nullptr;
};

}  // namespace rilvane
