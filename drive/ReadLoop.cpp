#include "drive/ReadLoop.h"

#include <limits>

#include "drive/CommandCatalogue.h"

namespace rilvane {

int32_t ReadLoop::sectorsAt(int32_t sector, std::optional<int32_t> leadOut)
{
    constexpr int32_t whole = CommandCatalogue::kSectorsPerRead;
    if (leadOut && sector < *leadOut && int64_t{*leadOut} - sector < whole)
        return *leadOut - sector;
    return whole;
}

ReadLoopStats ReadLoop::run()
{
    ReadLoopStats stats;
    int errorCount = 0;
    state_.stopRequest = false;
    while (!state_.stopRequest && sink_.keepReading(state_.currentSector)) {
        if (observer_) observer_->processEvents();
        // A Stop (or closing) among those messages wins over the next read.
        if (state_.stopRequest) break;

        // The messages just handled may have moved the position.
        const int32_t sector = state_.currentSector;
        const int32_t sectors = sectorsAt(sector, leadOut_);
        if (uint8_t* block = reader_.readBlock(sector, sectors)) {
            sink_.goodBlock(block, static_cast<uint32_t>(sectors) * CommandCatalogue::kSectorBytes);
            errorCount = 0;
            ++stats.goodBlocks;
        } else {
            ++stats.failedBlocks;
            if (++errorCount > kErrorLimit) {
                stats.errorLimitReached = true;
                state_.stopRequest = true;
            }
        }

        // Ten on from where the position is now (the sink may have moved it).
        constexpr int32_t last = std::numeric_limits<int32_t>::max();
        const int64_t next = int64_t{state_.currentSector} + CommandCatalogue::kSectorsPerRead;
        state_.currentSector = next > last ? last : static_cast<int32_t>(next);
        if (observer_) observer_->showPosition(state_.currentSector);
        if (next > last) break;
    }
    return stats;
}

}  // namespace rilvane
