// rilvane-sound-bench SECONDS [--numbered]
//
// A player for the sound benchmarks: plays SECONDS of a test tone through
// the program's own sound path (the DirectSound library loaded as
// "DSound.dll", the sound output and its half-buffer handoff) to ALSA's
// default device, and ends. feeder_vs_aplay.py runs it beside aplay playing
// the same bytes and measures both from outside in the same way.
//
// With --numbered every frame holds its own number (1, 2, 3, ... as a 32-bit
// little-endian value) instead of the tone, so that capture_check.py can tell
// from a capture whether any audio went missing, came twice or came late.
#include "playback/DSound.h"
#include "playback/SoundOutput.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double kBytesPerSecond = 176400.0;

// A 440 Hz tone on the left and 660 Hz on the right, half full scale, in
// whole staging buffers.
std::vector<uint8_t> tone(double seconds)
{
    const size_t buffers = static_cast<size_t>(std::ceil(seconds * kBytesPerSecond / rilvane::kStagingBytes));
    std::vector<uint8_t> bytes(buffers * rilvane::kStagingBytes);
    const double pi = std::acos(-1.0);
    for (size_t frame = 0; frame < bytes.size() / 4; ++frame) {
        const double t = static_cast<double>(frame) / 44100.0;
        const auto left = static_cast<int16_t>(16384 * std::sin(2 * pi * 440 * t));
        const auto right = static_cast<int16_t>(16384 * std::sin(2 * pi * 660 * t));
        bytes[frame * 4 + 0] = static_cast<uint8_t>(left & 0xFF);
        bytes[frame * 4 + 1] = static_cast<uint8_t>((left >> 8) & 0xFF);
        bytes[frame * 4 + 2] = static_cast<uint8_t>(right & 0xFF);
        bytes[frame * 4 + 3] = static_cast<uint8_t>((right >> 8) & 0xFF);
    }
    return bytes;
}

// Frame f holds f + 1, in whole staging buffers.
std::vector<uint8_t> numbered(double seconds)
{
    const size_t buffers = static_cast<size_t>(std::ceil(seconds * kBytesPerSecond / rilvane::kStagingBytes));
    std::vector<uint8_t> bytes(buffers * rilvane::kStagingBytes);
    for (size_t frame = 0; frame < bytes.size() / 4; ++frame) {
        const auto value = static_cast<uint32_t>(frame + 1);
        for (int i = 0; i < 4; ++i) bytes[frame * 4 + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const bool numberedFrames = argc > 2 && std::strcmp(argv[2], "--numbered") == 0;
    if (!(seconds > 0 && seconds < 1800) || argc > 3 || (argc == 3 && !numberedFrames)) {
        std::fprintf(stderr, "usage: rilvane-sound-bench SECONDS [--numbered]\n");
        return 2;
    }
    const std::vector<uint8_t> audio = numberedFrames ? numbered(seconds) : tone(seconds);
    rilvane::DSound library;
    rilvane::SoundOutput output;
    if (!output.setUp(library.DirectSoundCreate, nullptr)) {
        std::fprintf(stderr, "sound set-up failed (no DSound library or no ALSA device)\n");
        return 1;
    }
    output.start();
    for (size_t at = 0; at < audio.size(); at += rilvane::kStagingBytes) {
        int32_t fill = rilvane::kStagingBytes;
        output.handOff(audio.data() + at, fill, nullptr);
    }
    output.stop();
    output.release();
    return 0;
}
