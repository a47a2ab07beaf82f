// What becomes of the blocks a read loop reads: the part of reading the disc
// that differs between playback (the sound buffer) and ripping (the file).
#pragma once

#include <cstdint>

#include "drive/TocExchange.h"

namespace rilvane {

class BlockSink {
public:
    virtual ~BlockSink() = default;

    // The table of contents has been read (or not: see result.outcome).
    // Returns false to end the session before any block is read.
    virtual bool tocDone(const TocResult& result) = 0;

    // Whether to read another block at `currentSector` (playback: always;
    // ripping: while below the end sector).
    virtual bool keepReading(int32_t currentSector) = 0;

    // A good read block: `bytes` bytes, a whole block of 23520 or, where the
    // block would run past the lead-out, only the sectors before it. They may
    // be changed in place (karaoke) before they are collected or written.
    virtual void goodBlock(uint8_t* data, uint32_t bytes) = 0;
};

}  // namespace rilvane
