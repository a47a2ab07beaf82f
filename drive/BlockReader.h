// Reads one read block (ten sectors, fewer at the end of the disc) through a
// transport.
#pragma once

#include <cstdint>

#include "drive/CommandCatalogue.h"

namespace rilvane {

class BlockReader {
public:
    virtual ~BlockReader() = default;

    // Reads `sectors` sectors (1 to 10) from `sector` on. Returns their
    // bytes, 2352 a sector, on success (valid until the next read); on
    // failure logs the transport's error line and returns nullptr.
    uint8_t* readBlock(int32_t sector, int32_t sectors = CommandCatalogue::kSectorsPerRead)
    {
        if (sectors < 1 || sectors > CommandCatalogue::kSectorsPerRead) return nullptr;
        return read(sector, sectors);
    }

protected:
    virtual uint8_t* read(int32_t sector, int32_t sectors) = 0;
};

}  // namespace rilvane
