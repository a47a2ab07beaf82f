// The loop that reads a disc block by block, skipping blocks that fail and
// stopping after too many failures in a row. Playback, ripping and the probe
// tool all read through it.
#pragma once

#include <cstdint>
#include <optional>

#include "drive/BlockReader.h"
#include "drive/BlockSink.h"
#include "drive/ReadObserver.h"
#include "drive/ReadingState.h"

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

    // Reads from and moves `state`. `observer` (may be null) pumps messages
    // and shows the position. `leadOut`: where the disc ends, when the table
    // of contents said so.
    ReadLoop(BlockReader& reader, ReadingState& state, BlockSink& sink, ReadObserver* observer = nullptr,
             std::optional<int32_t> leadOut = std::nullopt)
        : reader_(reader), state_(state), sink_(sink), observer_(observer), leadOut_(leadOut)
    {
    }

    // Clears the stop request, then, while it stays clear and the sink wants
    // more: pumps messages, ends if they set the stop request (Stop wins over
    // the read it was pressed before), reads the block at the current sector,
    // hands a good block to the sink or counts a failure, advances the
    // current sector by ten and shows it.
    //
    // A block that starts before the lead-out but would run past it reads
    // only the sectors up to the lead-out: drives refuse a read that crosses
    // it, and the end of the last track would be lost. Blocks inside the
    // disc, and blocks at or past the lead-out, are read whole.
    //
    // There is no sector number after the largest one: when the next block
    // would start beyond it, the loop ends there instead of wrapping round to
    // negative sectors.
    ReadLoopStats run();

    // Sectors of the block at `sector`: ten, or fewer up to the lead-out.
    static int32_t sectorsAt(int32_t sector, std::optional<int32_t> leadOut);

private:
    BlockReader& reader_;
    ReadingState& state_;
    BlockSink& sink_;
    ReadObserver* observer_;
    std::optional<int32_t> leadOut_;
};

}  // namespace rilvane
