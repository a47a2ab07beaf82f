// Building blocks of the drive's answers: status and sense, and the big-endian
// fields of CDBs and replies.
#pragma once

#include "DefectMap.h"
#include "SenseCode.h"
#include "VirtualDrive.h"

#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

// GOOD with this many bytes of data-in.
ScsiReply good(uint32_t transferred);

// A CHECK CONDITION reply with fixed-format sense data.
ScsiReply checkCondition(SenseCode sense);

// The same reply with descriptor-format sense data (response code 0x72).
ScsiReply inDescriptorFormat(ScsiReply reply);

// What a defect does to the command it hits, after its delay.
ScsiReply defectReply(const DefectAction& action, uint32_t timeLimitMs = 0);

// Copies at most dataLength bytes of an answer to the caller; returns how many.
uint32_t copyOut(const uint8_t* source, size_t length, uint8_t* data, uint32_t dataLength);

// GOOD with the answer cut to the allocation length and the caller's buffer.
ScsiReply answerWith(const uint8_t* answer, size_t length, uint32_t allocation, uint8_t* data, uint32_t dataLength);

inline uint16_t be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline uint32_t be24(const uint8_t* p)
{
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

inline uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void putBe16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void putBe24(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 16);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v);
}

inline void putBe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

}  // namespace rilvane::vdrive
