#include "drive/ReadLoop.h"

#include "drive/CommandCatalogue.h"

namespace rilvane {

ReadLoopStats ReadLoop::run()
{
    ReadLoopStats stats;
    int errorCount = 0;
    host_.setStopRequested(false);
    while (!host_.stopRequested() && sink_.keepReading(host_.currentSector())) {
        host_.processEvents();

        // The messages just handled may have moved the position.
        const int32_t sector = host_.currentSector();
        if (uint8_t* block = reader_.readBlock(sector, CommandCatalogue::kSectorsPerRead)) {
            sink_.goodBlock(block, CommandCatalogue::kReadBlockBytes);
            errorCount = 0;
            ++stats.goodBlocks;
        } else {
            ++stats.failedBlocks;
            if (++errorCount > kErrorLimit) {
                stats.errorLimitReached = true;
                host_.setStopRequested(true);
            }
        }

        // Wraps like the 32-bit field it is instead of overflowing.
        const auto next = static_cast<int32_t>(static_cast<uint32_t>(host_.currentSector()) +
                                               static_cast<uint32_t>(CommandCatalogue::kSectorsPerRead));
        host_.setCurrentSector(next);
        host_.showPosition(next);
    }
    return stats;
}

}  // namespace rilvane
