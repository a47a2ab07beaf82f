// The 44-byte header of a RIFF/WAVE file holding CD audio.
#pragma once

#include <array>
#include <cstdint>

namespace rilvane {

constexpr uint32_t kWavHeaderSize = 44;

// The header in the five pieces it is written in: "RIFF" and its size (8),
// "WAVE" (4), "fmt " and 16 (8), the 16-byte PCM format body, "data" and
// its size (8). PCM, 2 channels, 44100 Hz, 16 bits.
struct WavHeader {
    std::array<uint8_t, 8> riff;
    std::array<uint8_t, 4> wave;
    std::array<uint8_t, 8> fmt;
    std::array<uint8_t, 16> format;
    std::array<uint8_t, 8> data;

    static WavHeader make(uint32_t riffSize, uint32_t dataSize);
};

}  // namespace rilvane
