// The pass-through request: one buffer that carries the request, the sense
// data and the data-in of a command to and from the drive.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Win32.h"

namespace rilvane {

struct SptiRequest {
    static constexpr uint32_t kSenseOffset = 48;
    static constexpr uint32_t kSenseAreaBytes = 32;
    static constexpr uint32_t kDataOffset = 80;
    // Ten CD-DA sectors and one byte more.
    static constexpr uint32_t kDataAreaBytes = 23521;

    SCSI_PASS_THROUGH header;           //     0: the platform's request, 44 bytes
    uint8_t filler[4];                  //    44
    uint8_t sense[kSenseAreaBytes];     //    48: the drive's sense data lands here
    uint8_t data[kDataAreaBytes];       //    80: the command's data-in lands here
    uint8_t padding[3];                 // 23601
};

// The same record with room for ten sectors and their C2 error pointers
// (2352 + 294 bytes each), for reads that ask for them.
struct SptiWideRequest {
    static constexpr uint32_t kDataAreaBytes = 10 * (2352 + 296);

    SCSI_PASS_THROUGH header;
    uint8_t filler[4];
    uint8_t sense[SptiRequest::kSenseAreaBytes];
    uint8_t data[kDataAreaBytes];
};

static_assert(offsetof(SptiWideRequest, sense) == SptiRequest::kSenseOffset);
static_assert(offsetof(SptiWideRequest, data) == SptiRequest::kDataOffset);

static_assert(sizeof(SptiRequest) == 23604, "the pass-through request is 23604 bytes");
static_assert(offsetof(SptiRequest, header) == 0);
static_assert(offsetof(SptiRequest, filler) == 44);
static_assert(offsetof(SptiRequest, sense) == SptiRequest::kSenseOffset);
static_assert(offsetof(SptiRequest, data) == SptiRequest::kDataOffset);
static_assert(offsetof(SptiRequest, padding) == 23601);

}  // namespace rilvane
