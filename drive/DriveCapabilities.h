// What a drive says it can do, from the MODE SENSE (10) answer with the
// CD capabilities page (2Ah): the mode parameter header (8 bytes, the
// length of the block descriptors in bytes 6-7), the block descriptors, then
// the page. Only what the program uses is read from it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace rilvane {

class BlockReader;

struct DriveCapabilities {
    bool c2Pointers = false;  // READ CD can bring the C2 error pointers (page byte 5, bit 4)

    // The capabilities in a MODE SENSE (10) answer; empty when it does not
    // hold the capabilities page whole enough to tell.
    static std::optional<DriveCapabilities> parse(const std::vector<uint8_t>& answer);
    // Asks the drive through `reader`; empty when it did not answer.
    static std::optional<DriveCapabilities> query(BlockReader& reader);
};

}  // namespace rilvane
