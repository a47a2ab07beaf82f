// The loop that reads a disc block by block, skipping blocks that fail and
// stopping after too many failures in a row. Playback, ripping and the probe
// tool all read through it.
#pragma once

#include <cstdint>

#include "drive/BlockReader.h"
#include "drive/BlockSink.h"
#include "drive/SessionWindow.h"

namespace rilvane {

struct ReadLoopStats {
    int64_t goodBlocks = 0;
    int64_t failedBlocks = 0;
    bool errorLimitReached = false;
};

class ReadLoop {
public:
    // The stop request is set when more than this many reads fail in a row.
    static constexpr int kErrorLimit = 10;

    ReadLoop(BlockReader& reader, SessionWindow& host, BlockSink& sink) : reader_(reader), host_(host), sink_(sink)
    {
    }

    // Clears the stop request, then, while it stays clear and the sink wants
    // more: pumps messages, reads the block at the current sector, hands a
    // good block to the sink or counts a failure, and advances the current
    // sector by ten.
    ReadLoopStats run();

private:
    BlockReader& reader_;
    SessionWindow& host_;
    BlockSink& sink_;
};

}  // namespace rilvane
