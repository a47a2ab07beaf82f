#include "drive/DiscSession.h"

#include "drive/DataTrackGuard.h"
#include "drive/ReadLoop.h"

namespace rilvane {

DiscSessionEnd readDisc(DriveTransport& transport, SessionWindow& window, ReadingState& state, TocExchange& toc,
                        BlockSink& sink, ReadLoopStats* stats)
{
    if (!transport.open()) return DiscSessionEnd::NotOpened;
    state.currentSector = window.positionValue();
    const TocResult result = transport.readToc(toc);
    DiscSessionEnd end = DiscSessionEnd::Declined;
    if (sink.tocDone(result)) {
        end = DiscSessionEnd::NoReader;
        if (std::unique_ptr<BlockReader> reader = transport.blockReader()) {
            DataTrackGuard guarded(*reader, result.dataRanges, window.log());
            const ReadLoopStats counts = ReadLoop(guarded, state, sink, &window, result.leadOut).run();
            if (stats) *stats = counts;
            end = DiscSessionEnd::Read;
        }
    }
    transport.close();
    return end;
}

}  // namespace rilvane
