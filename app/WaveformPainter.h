// Draws the waveform view's line (playback/Waveform.h reduces the samples).
#pragma once

#include <cstdint>
#include <vector>

#include <QPoint>

class QPainter;

namespace rilvane {

// White background, then the line in black.
void drawWaveform(QPainter& painter, const std::vector<QPoint>& points, int32_t width, int32_t height);

}  // namespace rilvane
