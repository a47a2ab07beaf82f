// What a playback session and a rip need from the window they run in: the
// position field they start from, the log pane, and - through ReadObserver -
// the message pump between two reads and the position shown after each
// block; playback also draws into the waveform view. The state they read and
// move is a ReadingState, not the window's. A caller without a window (a
// benchmark) overrides only what it has.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "drive/LogSink.h"
#include "drive/ReadObserver.h"

namespace rilvane {

class SessionWindow : public ReadObserver {
public:
    // The position control's value, truncated to a whole number.
    virtual int32_t positionValue() const = 0;

    virtual LogSink& log() = 0;

    // Draws a full staging buffer (117600 bytes) into the waveform view.
    virtual void drawWaveform(const uint8_t* /*staging*/) {}

    // A timer of the window; it stops when it goes.
    class Timer {
    public:
        virtual ~Timer() = default;
    };
    // Calls `tick` about every `intervalMs` on the window's thread for as
    // long as the returned timer lives: between two reads and also while
    // something else holds that thread with a message loop of its own (a
    // dialog, a rip started from the pump). Null where the window has no
    // timers.
    virtual std::unique_ptr<Timer> startTimer(int /*intervalMs*/, std::function<void()> /*tick*/) { return nullptr; }
};

}  // namespace rilvane
