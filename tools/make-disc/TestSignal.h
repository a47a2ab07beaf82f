// The sound of a generated test disc. Every audio track carries two sines,
// one per channel, whose pitch depends on the track number, at about -12 dBFS:
// the left one at 110 Hz x (track + 1), the right one half as high again. The
// phase runs on from INDEX 01 to the end of the track, so a track is one
// continuous tone, and the channels always differ.
#pragma once

#include <cstdint>

namespace rilvane::makedisc {

inline constexpr int kSampleRate = 44100;
inline constexpr int kFramesPerSector = 588;
inline constexpr int kToneAmplitude = 8192;  // a quarter of full scale

// Frequencies in Hz of the two channels of a track.
int leftFrequency(int trackNumber);
int rightFrequency(int trackNumber);

// Sample number frame (counted from the track's INDEX 01) of one channel.
int16_t toneSample(int frequency, int64_t frame);

// One 2352-byte audio sector of a track: the tone from frame
// sectorInTrack * 588 on, or silence when sectorInTrack is negative (the
// pregap). With stamp, the first frame carries the disc address instead:
// left the low 16 bits, right the high 16 bits.
void renderAudioSector(int trackNumber, int64_t sectorInTrack, int64_t discSector, bool stamp, uint8_t* out);

}  // namespace rilvane::makedisc
