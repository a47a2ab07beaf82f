#include "rip/WavHeader.h"

#include <cstring>

#include "drive/CdAudio.h"

namespace rilvane {

namespace {

void putTag(uint8_t* out, const char* tag) { std::memcpy(out, tag, 4); }

void putU32(uint8_t* out, uint32_t v)
{
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v >> 16);
    out[3] = static_cast<uint8_t>(v >> 24);
}

void putU16(uint8_t* out, uint16_t v)
{
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

WavHeader WavHeader::make(uint32_t riffSize, uint32_t dataSize)
{
    WavHeader h{};
    putTag(h.riff.data(), "RIFF");
    putU32(h.riff.data() + 4, riffSize);
    putTag(h.wave.data(), "WAVE");
    putTag(h.fmt.data(), "fmt ");
    putU32(h.fmt.data() + 4, 16);
    putU16(h.format.data() + 0, 1);  // integer PCM (WAVE_FORMAT_PCM)
    putU16(h.format.data() + 2, cd::kChannels);
    putU32(h.format.data() + 4, cd::kSampleRate);
    putU32(h.format.data() + 8, cd::kBytesPerSecond);
    putU16(h.format.data() + 12, cd::kFrameBytes);
    putU16(h.format.data() + 14, cd::kBitsPerSample);
    putTag(h.data.data(), "data");
    putU32(h.data.data() + 4, dataSize);
    return h;
}

}  // namespace rilvane
