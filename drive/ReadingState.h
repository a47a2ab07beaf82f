// The state of reading the disc: where the next read starts, whether to stop,
// and the track table. The window holds one and hands it to every session it
// runs, so that its buttons, the playback session and a rip started while it
// plays all move the same position; a program without a window holds its own.
#pragma once

#include <cstdint>

#include "drive/TrackTable.h"

namespace rilvane {

struct ReadingState {
    // The sector of the next read. The read loop reads it anew before every
    // read, since the navigation buttons may change it between two reads.
    int32_t currentSector = 0;
    // Set by Stop, by closing the window, by too many failed reads in a row
    // or by a failed write; the read loop clears it when it starts.
    bool stopRequest = false;
    // Written by every table-of-contents read.
    TrackTable trackTable;
};

}  // namespace rilvane
