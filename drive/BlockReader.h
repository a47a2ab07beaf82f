// Reads one read block (ten sectors) through a transport.
#pragma once

#include <cstdint>

namespace rilvane {

class BlockReader {
public:
    virtual ~BlockReader() = default;

    // Reads ten sectors from `sector` on. Returns the 23520 bytes on success
    // (valid until the next read); on failure logs the transport's error line
    // and returns nullptr.
    virtual uint8_t* readBlock(int32_t sector) = 0;
};

}  // namespace rilvane
