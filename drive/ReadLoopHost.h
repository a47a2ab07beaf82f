// What a read loop needs from the program around it: the window's message
// pump, the current sector and the stop request it owns, and what becomes of
// every good read block.
#pragma once

#include <cstdint>

namespace rilvane {

class ReadLoopHost {
public:
    virtual ~ReadLoopHost() = default;

    // Lets pending window messages run (Stop, navigation, karaoke, close).
    virtual void processEvents() = 0;

    // The sector of the next read. Read anew before every read, since the
    // navigation buttons may change it between two reads.
    virtual int32_t currentSector() const = 0;
    virtual void setCurrentSector(int32_t sector) = 0;

    virtual bool stopRequested() const = 0;
    virtual void requestStop() = 0;
    virtual void clearStopRequest() = 0;

    // Whether to read another block at `currentSector` (playback: always;
    // ripping: while below the end sector).
    virtual bool keepReading(int32_t currentSector) = 0;

    // A good read block: the ten sectors, 23520 bytes, which may be changed
    // in place (karaoke) before they are collected or written.
    virtual void goodBlock(uint8_t* data) = 0;

    // The current sector has moved on to `sector` after a read, good or
    // failed: show it.
    virtual void positionChanged(int32_t sector) = 0;
};

}  // namespace rilvane
