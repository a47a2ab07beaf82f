// One SCSI command block with a data-in phase, as the drive code sends it.
#pragma once

#include <array>
#include <cstdint>

namespace rilvane {

struct ScsiCommand {
    std::array<uint8_t, 16> cdb{};  // unused bytes stay 0
    uint8_t cdbLength = 0;          // 6, 10 or 12
    uint32_t dataLength = 0;        // bytes the drive sends back
    uint32_t timeoutSeconds = 0;    // pass-through only; ASPI waits without limit
};

}  // namespace rilvane
