#include "playback/Waveform.h"

namespace rilvane {

int32_t waveformFrame(int32_t x, int32_t width)
{
    if (width <= 1) return 0;
    return static_cast<int32_t>((int64_t{x} * (kWaveformFrames - 1)) / (width - 1));
}

std::vector<QPoint> waveformPoints(const uint8_t* staging, int32_t width, int32_t height)
{
    std::vector<QPoint> points;
    if (width <= 0) return points;
    points.reserve(static_cast<size_t>(width));
    const int32_t half = height / 2;
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* frame = staging + 4 * static_cast<size_t>(waveformFrame(x, width));
        const auto s = static_cast<int16_t>(static_cast<uint16_t>(frame[0] | (frame[1] << 8)));
        const int32_t y = half + (int32_t{s} * half) / 32768;
        points.emplace_back(x, y);
    }
    return points;
}

}  // namespace rilvane
