// Runs one ASPI execute request on a drive. Results are returned, not
// written into the caller's record; the layer does that.
#pragma once

#include "platform/WnAspi32.h"

#include <cstdint>

namespace rilvane::platform {

class ScsiTarget;
struct ScsiResult;

struct AspiRequest {
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 0;
    uint8_t flags = 0;          // SRB_DIR_IN / SRB_DIR_OUT bits
    uint8_t* buffer = nullptr;  // from SRB_BufPointer
    uint32_t bufferLength = 0;
    uint8_t senseLength = 0;    // SRB_SenseLen
};

struct AspiOutcome {
    BYTE status = SS_ERR;       // SRB_Status
    BYTE hostStatus = HASTAT_OK;
    BYTE targetStatus = 0;      // the SCSI status byte
    uint8_t sense[32] = {};
    uint8_t senseLength = 0;    // bytes of sense for SenseArea, at most 32 and SRB_SenseLen
    bool deviceGone = false;    // the drive has gone away; open it again for the next request
};

// ASPI has no time-out of its own; the kernel still needs one. A scratched
// sector can keep a drive busy for a long time, so this is as generous as
// the pass-through's time-out for reading.
constexpr unsigned aspiCommandTimeoutMs = 200'000;

AspiOutcome executeOn(ScsiTarget& target, const AspiRequest& request);

// The outcome of a request whose drive could not be opened (errno value).
AspiOutcome unreachable(int error);

}  // namespace rilvane::platform
