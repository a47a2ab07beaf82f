// The audio before the first track's INDEX 01 (a hidden first track, in the
// pregap of track 1). The copy passes start at the first track; these
// sectors are read here into the working copy, each block twice with the
// same result, and written as a file of its own, numbered 0, when the whole
// disc or its first track is rescued, every block of it was read and it is
// not digital silence.
#pragma once

#include <cstdint>

#include "drive/BlockReader.h"
#include "proof/DiscToc.h"
#include "rescue/Handover.h"
#include "rescue/RescueLog.h"
#include "rescue/RescueSession.h"
#include "rescue/StopToken.h"
#include "rescue/WorkingCopy.h"

namespace rilvane::rescue {

class HiddenTrack {
public:
    // Whether the request's tracks take it in: the first track is rescued
    // into a file and the disc has audio before it.
    HiddenTrack(const proof::DiscToc& toc, const RescueReport& report);

    bool wanted() const { return end_ > 0; }

    // Reads it into the working copy. Gives up on a block after `retries`
    // more tries.
    void read(BlockReader& reader, WorkingCopy& copy, int retries, const StopToken& stop, RescueLog& log);

    // Writes its file where there is one to write and tells the handover its
    // name. False when the file could not be written.
    bool write(Handover& handover, const WorkingCopy& copy, const RescueRequest& request, bool resumed,
               RescueLog& log) const;

private:
    int32_t end_ = 0;  // the first track's INDEX 01
    int number_ = 1;
    bool complete_ = false;
    bool silent_ = true;
};

}  // namespace rilvane::rescue
