// The steps of reading the disc that playback and ripping share, written
// once: open the transport, take the position, read the table of contents,
// let the caller decide on what it found, read block by block, close.
#pragma once

#include "drive/BlockSink.h"
#include "drive/DriveTransport.h"
#include "drive/ReadLoop.h"
#include "drive/ReadingState.h"
#include "drive/SessionWindow.h"
#include "drive/TocExchange.h"

namespace rilvane {

enum class DiscSessionEnd {
    NotOpened,  // the transport could not be opened (its line is logged)
    Stopped,    // the stop request came while the table of contents was read
                // (a drive still settling); the sink was not asked, nothing read
    Declined,   // the sink refused after the table of contents; nothing read
    NoReader,   // no block reader (its line is logged); nothing read
    Read,       // the read loop ran until the sink or the stop request ended it
};

// Runs the session on `transport` (not yet open) and closes it again:
//   1. open; on failure end (NotOpened).
//   2. the state's current sector := the window's position field. The
//      table of contents neither reads nor moves it, so the rip (which moves
//      it on to the track's start in 4) and playback (which reads from
//      there) take it here alike.
//   3. read the table of contents through `toc`; a failed read is logged
//      and the session goes on, unless the stop request was set meanwhile
//      (Stopped). From the start on, the waits for a settling drive (see
//      TransientRetry) let the window's messages run and end on a stop
//      request.
//   4. sink.tocDone(result); false ends the session (Declined). The rip
//      takes its range and logs "Starte Ripping..." here, so that its line
//      comes before any failure of the next step.
//   5. make the block reader; without one end (NoReader).
//   6. the read loop, which reads no further than the lead-out the table of
//      contents gave (see ReadLoop) and never reads a data track as audio:
//      such a block fails with its own line (see DataTrackGuard).
//   `stats`, when given, receives the read loop's counts.
DiscSessionEnd readDisc(DriveTransport& transport, SessionWindow& window, ReadingState& state, TocExchange& toc,
                        BlockSink& sink, ReadLoopStats* stats = nullptr);

}  // namespace rilvane
