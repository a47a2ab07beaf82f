// Karaoke mode: removes the centre of the stereo image from a read block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rilvane {

// For every frame, d = L - R and q = 2d/3 (truncated toward zero); q goes
// into both channels. q is saturated to the 16-bit range: a full-scale
// difference would otherwise wrap around into a loud click.
int16_t karaokeSample(int16_t left, int16_t right);

// Transforms `frames` stereo frames (16-bit little-endian, left first) in place.
void applyKaraoke(uint8_t* block, size_t frames);

}  // namespace rilvane
