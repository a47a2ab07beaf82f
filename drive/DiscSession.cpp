#include "drive/DiscSession.h"

#include <algorithm>
#include <thread>

#include "drive/DataTrackGuard.h"
#include "drive/ReadLoop.h"
#include "drive/SettlingWait.h"

namespace rilvane {

namespace {

// How long a wait for a settling drive sleeps before the window's messages
// run again.
constexpr std::chrono::milliseconds kSettlingSlice{50};

}  // namespace

DiscSessionEnd readDisc(DriveTransport& transport, SessionWindow& window, ReadingState& state, TocExchange& toc,
                        BlockSink& sink, ReadLoopStats* stats)
{
    // While a drive settles, the window's messages go on and Stop ends the
    // waiting: the session's own stop request counts from here on.
    state.stopRequest = false;
    const SettlingWait settling([&window, &state](std::chrono::milliseconds pause) {
        for (auto left = pause; left.count() > 0 && !state.stopRequest; left -= kSettlingSlice) {
            std::this_thread::sleep_for(std::min(left, kSettlingSlice));
            window.processEvents();
        }
        return !state.stopRequest;
    });

    if (!transport.open()) return DiscSessionEnd::NotOpened;
    state.currentSector = window.positionValue();
    const TocResult result = transport.readToc(toc);
    DiscSessionEnd end = DiscSessionEnd::Stopped;
    if (!state.stopRequest) {
        end = DiscSessionEnd::Declined;
        if (sink.tocDone(result)) {
            end = DiscSessionEnd::NoReader;
            if (std::unique_ptr<BlockReader> reader = transport.blockReader()) {
                DataTrackGuard guarded(*reader, result.dataRanges, window.log());
                const ReadLoopStats counts = ReadLoop(guarded, state, sink, &window, result.leadOut).run();
                if (stats) *stats = counts;
                end = DiscSessionEnd::Read;
            }
        }
    }
    transport.close();
    return end;
}

}  // namespace rilvane
