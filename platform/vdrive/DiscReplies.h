// The commands that describe the disc beyond its TOC: READ CAPACITY, READ
// DISC INFORMATION, READ TRACK INFORMATION and READ SUB-CHANNEL.
#pragma once

#include "AudioPlayback.h"
#include "DiscImage.h"
#include "SubChannel.h"
#include "VirtualDrive.h"

#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

ScsiReply readCapacity(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                       uint32_t dataLength);

ScsiReply readDiscInformation(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                              uint32_t dataLength);

ScsiReply readTrackInformation(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                               uint32_t dataLength);

// Formats 1 (the head's position), 2 (catalogue number) and 3 (a track's
// ISRC), with the audio status of the playback.
ScsiReply readSubChannel(const DiscImage& image, const SubChannel& subChannel, int64_t head,
                         AudioPlayback::Status status, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                         uint32_t dataLength);

}  // namespace rilvane::vdrive
