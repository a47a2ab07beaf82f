// READ TOC/PMA/ATIP: the disc's table of contents as the drive reports it.
#pragma once

#include "DiscImage.h"
#include "VirtualDrive.h"

#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

ScsiReply readToc(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);

}  // namespace rilvane::vdrive
