#include "proof/TrackChecksums.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>

namespace rilvane::proof {

namespace {

constexpr std::array<uint32_t, 256> makeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

// The register form of the CRC: no pre- and post-inversion, so that a
// byte can be fed one at a time.
inline uint32_t crcByte(uint32_t reg, uint8_t byte)
{
    return kCrcTable[(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

}  // namespace

uint32_t crc32(uint32_t crc, const uint8_t* data, size_t size)
{
    uLong sum = crc;
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<size_t>(size, std::numeric_limits<uInt>::max()));
        sum = ::crc32(sum, data, piece);
        data += piece;
        size -= piece;
    }
    return static_cast<uint32_t>(sum);
}

TrackChecksums::TrackChecksums(int64_t frames, bool firstOnDisc, bool lastOnDisc)
    : countFrom_(firstOnDisc ? kAccurateRipEdgeFrames : 1),
      countTo_(lastOnDisc ? frames - kAccurateRipEdgeFrames : frames),
      crc_(0),
      crcSkipping_(~0u)
{
}

void TrackChecksums::add(const uint8_t* data, size_t count)
{
    crc_ = crc32(crc_, data, 4 * count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* f = data + 4 * i;
        ++position_;
        const uint32_t word = uint32_t{f[0]} | uint32_t{f[1]} << 8 | uint32_t{f[2]} << 16 | uint32_t{f[3]} << 24;
        if (position_ >= countFrom_ && position_ <= countTo_) {
            const uint64_t product = uint64_t{word} * static_cast<uint64_t>(position_);
            v1_ += static_cast<uint32_t>(product);
            v2_ += static_cast<uint32_t>(product) + static_cast<uint32_t>(product >> 32);
        }
        if (f[0] | f[1]) crcSkipping_ = crcByte(crcByte(crcSkipping_, f[0]), f[1]);
        if (f[2] | f[3]) crcSkipping_ = crcByte(crcByte(crcSkipping_, f[2]), f[3]);
    }
}

Checksums TrackChecksums::result() const
{
    return {v1_, v2_, crc_, ~crcSkipping_};
}

}  // namespace rilvane::proof
