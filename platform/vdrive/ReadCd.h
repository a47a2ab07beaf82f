// READ CD: the fields of each sector a caller selects (sync, header, user
// data, EDC/ECC, C2 error pointers, sub-channel) laid out one sector after
// another; and READ(10)/READ(12), the 2048-byte blocks of data tracks.
#pragma once

#include "SectorReader.h"
#include "SubChannel.h"
#include "VirtualDrive.h"

#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

// Runs one READ CD on the reader's disc. reportsC2: whether the drive
// delivers C2 error pointers at all. On success lastSector is the last
// sector read.
ScsiReply readCd(SectorReader& reader, const SubChannel& subChannel, bool reportsC2, const uint8_t* cdb,
                 size_t cdbLength, uint8_t* data, uint32_t dataLength, int64_t& lastSector);

// READ CD MSF: the same with the range given as start and end times.
ScsiReply readCdMsf(SectorReader& reader, const SubChannel& subChannel, bool reportsC2, const uint8_t* cdb,
                    size_t cdbLength, uint8_t* data, uint32_t dataLength, int64_t& lastSector);

// READ(10) and READ(12): user data of Mode 1 sectors; audio sectors have no
// blocks to read (05/64/00).
ScsiReply readBlocks(SectorReader& reader, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength,
                     int64_t& lastSector);

}  // namespace rilvane::vdrive
