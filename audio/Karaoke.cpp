#include "audio/Karaoke.h"

#include <algorithm>

namespace rilvane {

int16_t karaokeSample(int16_t left, int16_t right)
{
    const int32_t d = int32_t{left} - int32_t{right};
    const int32_t q = (2 * d) / 3;
    return static_cast<int16_t>(std::clamp<int32_t>(q, INT16_MIN, INT16_MAX));
}

void applyKaraoke(uint8_t* block, size_t frames)
{
    for (size_t i = 0; i < frames; ++i) {
        uint8_t* f = block + 4 * i;
        const auto left = static_cast<int16_t>(static_cast<uint16_t>(f[0] | (f[1] << 8)));
        const auto right = static_cast<int16_t>(static_cast<uint16_t>(f[2] | (f[3] << 8)));
        const auto q = static_cast<uint16_t>(karaokeSample(left, right));
        f[0] = f[2] = static_cast<uint8_t>(q);
        f[1] = f[3] = static_cast<uint8_t>(q >> 8);
    }
}

}  // namespace rilvane
