#include "drive/DiscSession.h"

#include "drive/DataTrackGuard.h"
#include "drive/ReadLoop.h"

namespace rilvane {

DiscSessionEnd readDisc(DriveTransport& transport, SessionWindow& host, TocExchange& toc, BlockSink& sink)
{
    if (!transport.open()) return DiscSessionEnd::NotOpened;
    host.setCurrentSector(host.positionValue());
    const TocResult result = transport.readToc(toc);
    DiscSessionEnd end = DiscSessionEnd::Declined;
    if (sink.tocDone(result)) {
        end = DiscSessionEnd::NoReader;
        if (std::unique_ptr<BlockReader> reader = transport.blockReader()) {
            DataTrackGuard guarded(*reader, result.dataRanges, host.log());
            ReadLoop(guarded, host, sink, result.leadOut).run();
            end = DiscSessionEnd::Read;
        }
    }
    transport.close();
    return end;
}

}  // namespace rilvane
