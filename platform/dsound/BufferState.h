// The shared state of one sound buffer. Every field is guarded by the mutex
// of the SoundDevice that owns the buffer, except the bytes of `mirror`,
// which belong to whoever holds a Lock on them (see SoundDevice.cpp).
#pragma once

#include "platform/DirectSound.h"

#include <cstdint>
#include <vector>

namespace rilvane::dsound {

struct BufferState {
    explicit BufferState(DWORD bytes) : audio(bytes, 0), mirror(bytes, 0) {}

    std::vector<uint8_t> audio;   // what plays
    std::vector<uint8_t> mirror;  // what Lock hands out and Unlock copies back
    DWORD cursor = 0;             // play cursor: the next byte to hand to the device
    DWORD inFlight = 0;           // bytes copied for the device and not yet counted
    bool playing = false;
    bool looping = false;
    bool lost = false;
    uint64_t generation = 0;      // changes whenever playing starts or stops
    std::vector<DSBPOSITIONNOTIFY> notifications;
};

}  // namespace rilvane::dsound
