// READ CD: the fields of each sector a caller selects (sync, header, user
// data, EDC/ECC, C2 error pointers) laid out one sector after another.
#pragma once

#include "SectorReader.h"
#include "VirtualDrive.h"

#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

// Runs one READ CD on the reader's disc. reportsC2: whether the drive
// delivers C2 error pointers at all.
ScsiReply readCd(SectorReader& reader, bool reportsC2, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                 uint32_t dataLength);

}  // namespace rilvane::vdrive
