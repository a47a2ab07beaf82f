// A Windows-style event: manual or auto reset, waitable from any thread.
#pragma once

#include "HandleTable.h"

#include <condition_variable>
#include <mutex>

namespace rilvane::platform {

class Event : public HandleObject {
public:
    Event(bool manualReset, bool initialState);

    void set();
    void reset();

    // Waits until the event is signalled (true) or the time-out passes
    // (false). INFINITE waits without limit; 0 only tests the state. An
    // auto-reset event is reset by the wait that it releases.
    bool wait(DWORD milliseconds);

private:
    bool takeSignalLocked();

    const bool manualReset_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

}  // namespace rilvane::platform
