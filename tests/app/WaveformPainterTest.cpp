#include "app/WaveformPainter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <vector>

#include "playback/Waveform.h"

namespace rilvane {
namespace {

TEST(WaveformPainter, DrawsABlackLineOnWhite)
{
    const std::vector<uint8_t> silence(kWaveformFrames * 4, 0);
    QImage img(40, 21, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    drawWaveform(p, waveformPoints(silence.data(), 40, 21), 40, 21);
    p.end();
    EXPECT_EQ(img.pixelColor(20, 10), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(20, 2), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(39, 20), QColor(Qt::white));
}

}  // namespace
}  // namespace rilvane
