// A request to stop a rescue, held by whoever started it. Any thread may
// ask for the stop at any time, a signal handler included (the flag is a
// lock-free atomic); the rescue checks it between reads and ends at the
// next check, saving what it has.
#pragma once

#include <atomic>

namespace rilvane::rescue {

class StopToken {
public:
    void requestStop() noexcept { stop_.store(true, std::memory_order_relaxed); }
    bool stopRequested() const noexcept { return stop_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> stop_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

}  // namespace rilvane::rescue
