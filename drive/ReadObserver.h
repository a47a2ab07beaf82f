// What the read loop tells whoever watches it read: a window lets its
// messages run between two reads and shows the position after each block; a
// console tool may show progress. Both do nothing unless overridden.
#pragma once

#include <cstdint>

namespace rilvane {

class ReadObserver {
public:
    virtual ~ReadObserver() = default;

    // Before each read. A window lets all pending messages run here: its
    // buttons may move the current sector or set the stop request.
    virtual void processEvents() {}

    // After each block, with the sector the loop moved on to.
    virtual void showPosition(int32_t /*sector*/) {}
};

}  // namespace rilvane
