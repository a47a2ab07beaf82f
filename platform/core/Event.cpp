#include "Event.h"

#include "LastError.h"

#include <chrono>

namespace rilvane::platform {

Event::Event(bool manualReset, bool initialState) : manualReset_(manualReset), signalled_(initialState) {}

void Event::set()
{
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    // A manual-reset event releases every waiter; an auto-reset event
    // releases one, which resets it again.
    if (manualReset_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::takeSignalLocked()
{
    if (!signalled_) return false;
    if (!manualReset_) signalled_ = false;
    return true;
}

bool Event::wait(DWORD milliseconds)
{
    std::unique_lock lock(mutex_);
    if (milliseconds == INFINITE) {
        changed_.wait(lock, [this] { return signalled_; });
        return takeSignalLocked();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    changed_.wait_until(lock, deadline, [this] { return signalled_; });
    return takeSignalLocked();
}

}  // namespace rilvane::platform

using rilvane::platform::Event;
using rilvane::platform::HandleTable;
using rilvane::platform::setLastError;

HANDLE CreateEventA(void* /*securityAttributes*/, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    // Named events would be shared between processes on Windows; nothing
    // here needs them, so a name is refused rather than silently ignored.
    if (name != nullptr && name[0] != '\0') {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = HandleTable::instance().add(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
    if (handle == nullptr) setLastError(ERROR_NOT_ENOUGH_MEMORY);
    return handle;
}

BOOL SetEvent(HANDLE event)
{
    auto object = HandleTable::instance().getAs<Event>(event);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    auto object = HandleTable::instance().getAs<Event>(event);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    // The wait holds its own reference: closing the handle meanwhile does
    // not pull the event away from under it (the wait simply goes on, as
    // on Windows).
    auto object = HandleTable::instance().getAs<Event>(handle);
    if (!object) {
        setLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->wait(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
