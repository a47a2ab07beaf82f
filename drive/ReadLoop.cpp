#include "drive/ReadLoop.h"

#include "drive/CommandCatalogue.h"

namespace rilvane {

ReadLoopStats ReadLoop::run()
{
    ReadLoopStats stats;
    int errorCount = 0;
    host_.clearStopRequest();
    while (!host_.stopRequested() && host_.keepReading(host_.currentSector())) {
        host_.processEvents();

        // The messages just handled may have moved the position.
        const int32_t sector = host_.currentSector();
        if (uint8_t* block = reader_.readBlock(sector)) {
            host_.goodBlock(block);
            errorCount = 0;
            ++stats.goodBlocks;
        } else {
            ++stats.failedBlocks;
            if (++errorCount > kErrorLimit) {
                stats.errorLimitReached = true;
                host_.requestStop();
            }
        }

        // Wraps like the 32-bit field it is instead of overflowing.
        const auto next = static_cast<int32_t>(static_cast<uint32_t>(host_.currentSector()) +
                                               static_cast<uint32_t>(CommandCatalogue::kSectorsPerRead));
        host_.setCurrentSector(next);
        host_.positionChanged(next);
    }
    return stats;
}

}  // namespace rilvane
