// rilvane-loopback-play: plays numbered frames through the program's sound
// output (SoundOutput over libdsound.so) into ALSA's default device, for the
// kernel tests, where that device is the loopback sound card.
//
//   rilvane-loopback-play BUFFERS
//
// Every frame holds its own number, counted from 1: the left sample the low
// 16 bits, the right sample the high 16 bits. A capture of the card's other
// end then shows whether the frames came out in order.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "playback/DSound.h"
#include "playback/SoundOutput.h"

int main(int argc, char** argv)
{
    const int buffers = argc == 2 ? std::atoi(argv[1]) : 0;
    if (buffers < 1 || buffers > 1000) {
        std::fprintf(stderr, "usage: rilvane-loopback-play BUFFERS\n");
        return 2;
    }
    rilvane::DSound library;
    rilvane::SoundOutput output;
    if (!output.setUp(library.DirectSoundCreate, nullptr)) {
        std::fprintf(stderr, "rilvane-loopback-play: no sound device\n");
        return 1;
    }
    output.start();
    uint32_t frame = 1;
    std::vector<uint8_t> staging(rilvane::kStagingBytes);
    for (int b = 0; b < buffers; ++b) {
        for (size_t i = 0; i < staging.size(); i += 4, ++frame) {
            const uint16_t low = static_cast<uint16_t>(frame);
            const uint16_t high = static_cast<uint16_t>(frame >> 16);
            std::memcpy(&staging[i], &low, 2);
            std::memcpy(&staging[i + 2], &high, 2);
        }
        int32_t fill = rilvane::kStagingBytes;
        output.handOff(staging.data(), fill, [](const uint8_t*) {});
    }
    output.stop();
    output.release();
    std::printf("%u frames played\n", frame - 1);
    return 0;
}
