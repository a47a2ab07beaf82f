// Raw Mode 1 data sectors (2352 bytes): sync pattern, header, 2048 bytes of
// user data, EDC and the P and Q parity of the cross-interleaved Reed-Solomon
// code, as a CD-ROM drive reads them.
#pragma once

#include <cstdint>

namespace rilvane::vdrive {

inline constexpr int kMode1UserOffset = 16;
inline constexpr int kMode1UserBytes = 2048;

// Fills in everything around the user data (bytes 16 .. 2063, left as they
// are) for the sector at disc address lba.
void encodeMode1Sector(uint8_t* sector, int64_t lba);

// The 32-bit EDC over the given bytes (as stored little-endian at 2064).
uint32_t cdEdc(const uint8_t* data, int length);

}  // namespace rilvane::vdrive
