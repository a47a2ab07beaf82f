#include "Mode1Sector.h"

#include <array>
#include <cstring>

namespace rilvane::vdrive {

namespace {

struct Tables {
    std::array<uint32_t, 256> edc{};
    std::array<uint8_t, 256> eccForward{};   // multiplication by alpha in GF(2^8)
    std::array<uint8_t, 256> eccBackward{};  // division by (alpha + 1)

    Tables()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            // EDC polynomial (x^16 + x^15 + x^2 + 1)(x^16 + x^2 + x + 1), bit-reversed.
            uint32_t e = i;
            for (int bit = 0; bit < 8; ++bit)
                e = (e >> 1) ^ ((e & 1) ? 0xD8018001u : 0u);
            edc[i] = e;
            // Field generator x^8 + x^4 + x^3 + x^2 + 1.
            const uint32_t f = (i << 1) ^ ((i & 0x80) ? 0x11Du : 0u);
            eccForward[i] = static_cast<uint8_t>(f);
            eccBackward[i ^ f] = static_cast<uint8_t>(i);
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

uint8_t toBcd(int value)
{
    return static_cast<uint8_t>((value / 10) << 4 | (value % 10));
}

// One parity pass (P or Q) over the 2236 bytes from the header on: each of
// majorCount code words takes minorCount bytes, then two parity bytes go to
// dest[major] and dest[major + majorCount].
void computeParity(const uint8_t* src, int majorCount, int minorCount, int majorMult, int minorInc, uint8_t* dest)
{
    const Tables& t = tables();
    const int size = majorCount * minorCount;
    for (int major = 0; major < majorCount; ++major) {
        int index = (major >> 1) * majorMult + (major & 1);
        uint8_t a = 0;
        uint8_t b = 0;
        for (int minor = 0; minor < minorCount; ++minor) {
            const uint8_t value = src[index];
            index += minorInc;
            if (index >= size)
                index -= size;
            a ^= value;
            b ^= value;
            a = t.eccForward[a];
        }
        a = t.eccBackward[t.eccForward[a] ^ b];
        dest[major] = a;
        dest[major + majorCount] = static_cast<uint8_t>(a ^ b);
    }
}

}  // namespace

uint32_t cdEdc(const uint8_t* data, int length)
{
    const Tables& t = tables();
    uint32_t edc = 0;
    for (int i = 0; i < length; ++i)
        edc = (edc >> 8) ^ t.edc[(edc ^ data[i]) & 0xFF];
    return edc;
}

void encodeMode1Sector(uint8_t* sector, int64_t lba)
{
    static constexpr uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(sector, kSync, sizeof kSync);
    // The header holds the absolute time: the disc address plus the 150 sectors of
    // the lead-in gap, as minutes, seconds and frames in BCD.
    int64_t absolute = lba + 150;
    if (absolute < 0)
        absolute = 0;
    const int frames = static_cast<int>(absolute % 75);
    const int seconds = static_cast<int>((absolute / 75) % 60);
    const int minutes = static_cast<int>((absolute / 75 / 60) % 100);
    sector[12] = toBcd(minutes);
    sector[13] = toBcd(seconds);
    sector[14] = toBcd(frames);
    sector[15] = 0x01;

    const uint32_t edc = cdEdc(sector, kMode1UserOffset + kMode1UserBytes);
    uint8_t* tail = sector + kMode1UserOffset + kMode1UserBytes;
    tail[0] = static_cast<uint8_t>(edc);
    tail[1] = static_cast<uint8_t>(edc >> 8);
    tail[2] = static_cast<uint8_t>(edc >> 16);
    tail[3] = static_cast<uint8_t>(edc >> 24);
    std::memset(tail + 4, 0, 8);

    computeParity(sector + 12, 86, 24, 2, 86, sector + 2076);  // P parity, 172 bytes
    computeParity(sector + 12, 52, 43, 86, 88, sector + 2248); // Q parity, 104 bytes
}

}  // namespace rilvane::vdrive
