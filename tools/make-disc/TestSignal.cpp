#include "TestSignal.h"

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace rilvane::makedisc {

int leftFrequency(int trackNumber)
{
    return 110 * (trackNumber + 1);
}

int rightFrequency(int trackNumber)
{
    return 165 * (trackNumber + 1);
}

namespace {

// One period of the sine at full tone level, one entry per 1/44100 of a turn:
// every tone is a whole number of Hz, so its samples all lie on this table.
const std::vector<int16_t>& sineTable()
{
    static const std::vector<int16_t> table = [] {
        std::vector<int16_t> t(kSampleRate);
        for (int i = 0; i < kSampleRate; ++i)
            t[static_cast<size_t>(i)] = static_cast<int16_t>(
                std::lround(kToneAmplitude * std::sin(2.0 * std::numbers::pi * i / kSampleRate)));
        return t;
    }();
    return table;
}

}  // namespace

int16_t toneSample(int frequency, int64_t frame)
{
    // The phase is reduced in whole numbers, so that it stays exact however
    // long the track is.
    const int64_t step = (static_cast<int64_t>(frequency) * frame) % kSampleRate;
    return sineTable()[static_cast<size_t>(step)];
}

void renderAudioSector(int trackNumber, int64_t sectorInTrack, int64_t discSector, bool stamp, uint8_t* out)
{
    auto put = [&](int frame, int16_t left, int16_t right) {
        uint8_t* p = out + frame * 4;
        p[0] = static_cast<uint8_t>(left);
        p[1] = static_cast<uint8_t>(static_cast<uint16_t>(left) >> 8);
        p[2] = static_cast<uint8_t>(right);
        p[3] = static_cast<uint8_t>(static_cast<uint16_t>(right) >> 8);
    };
    if (sectorInTrack < 0) {
        std::memset(out, 0, kFramesPerSector * 4);
    } else {
        const int left = leftFrequency(trackNumber);
        const int right = rightFrequency(trackNumber);
        const int64_t firstFrame = sectorInTrack * kFramesPerSector;
        for (int f = 0; f < kFramesPerSector; ++f)
            put(f, toneSample(left, firstFrame + f), toneSample(right, firstFrame + f));
    }
    if (stamp) {
        const auto address = static_cast<uint32_t>(discSector);
        put(0, static_cast<int16_t>(address & 0xFFFF), static_cast<int16_t>(address >> 16));
    }
}

}  // namespace rilvane::makedisc
