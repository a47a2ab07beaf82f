// IOCTL_SCSI_PASS_THROUGH: one SCSI command described by the 44-byte
// SCSI_PASS_THROUGH at the start of the caller's buffer, with the data and
// sense areas at offsets inside the same buffer.
#pragma once

#include "platform/Win32.h"

#include <cstdint>

namespace rilvane::platform {

class ScsiTarget;

// A checked request: the header as the caller wrote it and where its areas
// are. The data-in and sense areas lie in the output buffer, data-out in the
// input buffer.
struct PassThroughCall {
    SCSI_PASS_THROUGH request{};
    uint8_t* output = nullptr;     // the header is written back here
    uint8_t* data = nullptr;       // nullptr when nothing is transferred
    uint32_t dataLength = 0;
    uint8_t* sense = nullptr;      // nullptr when no sense area was given
    uint32_t senseLength = 0;
};

// Reads and checks the request. On a malformed one returns false with the
// error for GetLastError (ERROR_INVALID_PARAMETER).
bool preparePassThrough(const void* in, DWORD inLength, void* out, DWORD outLength, PassThroughCall& call,
                        DWORD& error);

// Runs a prepared call on the handle's drive. Returns what DeviceIoControl
// returns; on FALSE, error holds the code for GetLastError and the caller's
// header is left as it was.
BOOL passThrough(ScsiTarget& target, PassThroughCall& call, DWORD* bytesReturned, DWORD& error);

}  // namespace rilvane::platform
