// GET CONFIGURATION: the profile (CD-ROM) and the features of a reading
// drive with a tray, CD audio reading (with C2 pointers where the drive has
// them, and CD-Text) and audio play.
#pragma once

#include "VirtualDrive.h"

#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

ScsiReply getConfiguration(bool reportsC2, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);

}  // namespace rilvane::vdrive
