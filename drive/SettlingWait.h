// How a command sent again to a settling drive waits before it goes: by
// default the thread sleeps. A session that runs inside a window installs a
// wait of its own for as long as it runs, one that keeps the window's
// messages going and gives up when Stop is pressed, so that a drive that
// takes its time (or never gets ready) neither freezes the window nor
// outlasts a Stop.
#pragma once

#include <chrono>
#include <functional>

namespace rilvane {

class SettlingWait {
public:
    // Waits `pause`; false when the waiting should end (a stop request).
    using Wait = std::function<bool(std::chrono::milliseconds pause)>;

    // Installs `wait` on this thread until the object goes; the one it
    // replaced comes back then.
    explicit SettlingWait(Wait wait);
    ~SettlingWait();
    SettlingWait(const SettlingWait&) = delete;
    SettlingWait& operator=(const SettlingWait&) = delete;

    // Waits `pause` with the wait installed on this thread, or sleeps; false
    // when the caller should give up instead of sending the command again.
    static bool pause(std::chrono::milliseconds pause);

private:
    Wait wait_;
    SettlingWait* previous_;
};

}  // namespace rilvane
