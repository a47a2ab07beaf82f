// The numbers of CD audio and of the program's reading and playing, each
// defined once; the derived ones are computed from the base ones.
#pragma once

#include <cstdint>

namespace rilvane::cd {

// CD-DA: 44100 stereo frames of two 16-bit samples a second.
constexpr uint16_t kChannels = 2;
constexpr uint32_t kSampleRate = 44100;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kFrameBytes = kChannels * kBitsPerSample / 8;
constexpr uint32_t kBytesPerSecond = kSampleRate * kFrameBytes;
static_assert(kFrameBytes == 4 && kBytesPerSecond == 176400);

// A raw sector holds 1/75 s of audio.
constexpr int32_t kSectorsPerSecond = 75;
constexpr uint32_t kSectorBytes = kBytesPerSecond / kSectorsPerSecond;
constexpr uint32_t kFramesPerSector = kSectorBytes / kFrameBytes;
static_assert(kSectorBytes == 2352 && kFramesPerSector == 588);

// Every READ CD reads ten sectors: one read block.
constexpr int32_t kSectorsPerRead = 10;
constexpr uint32_t kReadBlockBytes = kSectorsPerRead * kSectorBytes;
constexpr uint32_t kReadBlockFrames = kReadBlockBytes / kFrameBytes;
static_assert(kReadBlockBytes == 23520 && kReadBlockFrames == 5880);

// Playback collects five read blocks before it hands them to the sound
// buffer, which holds as much again and is refilled half by half.
constexpr int32_t kBlocksPerStaging = 5;
constexpr uint32_t kStagingBytes = kBlocksPerStaging * kReadBlockBytes;
constexpr uint32_t kStagingFrames = kStagingBytes / kFrameBytes;
constexpr uint32_t kSoundBufferBytes = kStagingBytes;
constexpr uint32_t kHalfBufferBytes = kSoundBufferBytes / 2;
static_assert(kStagingBytes == 117600 && kStagingFrames == 29400 && kHalfBufferBytes == 58800);

// The track table before any disc was read: one track from sector 500 to
// the lead-out at 450000 (100 minutes).
constexpr int32_t kDefaultFirstTrack = 500;
constexpr int32_t kDefaultLeadOut = 450000;

}  // namespace rilvane::cd
