// The waveform view's samples: the left channel of one staging buffer, one
// sample per column, as the points of one line (app/WaveformPainter draws it).
#pragma once

#include <cstdint>
#include <vector>

#include <QPoint>

#include "drive/CdAudio.h"

namespace rilvane {

constexpr int32_t kWaveformFrames = cd::kStagingFrames;

// The frame shown in column x of a view `width` columns wide: frame 0 in the
// first column, frame 29399 in the last. A view one column wide shows frame 0.
int32_t waveformFrame(int32_t x, int32_t width);

// The points of the line for a staging buffer of 29400 frames (117600 bytes).
// Positive samples lie below the middle line, -32768 at the top edge.
std::vector<QPoint> waveformPoints(const uint8_t* staging, int32_t width, int32_t height);

}  // namespace rilvane
