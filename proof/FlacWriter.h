// Writes one track as a FLAC file through libFLAC: 16-bit stereo at
// 44100 Hz, Vorbis comments for the track and the disc, the encoder's own
// verification on (every frame is decoded again and compared while it is
// written), and the audio's MD5 in the stream header so that `flac -t`
// can check the file later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/OutputFile.h"

namespace rilvane::proof {

using VorbisComments = std::vector<std::pair<std::string, std::string>>;

class FlacWriter {
public:
    explicit FlacWriter(platform::OutputFileOpener opener = platform::createOutputFile);
    ~FlacWriter();
    FlacWriter(const FlacWriter&) = delete;
    FlacWriter& operator=(const FlacWriter&) = delete;

    // Creates the file (UTF-8 name) and starts the stream; `frames` is the
    // track's length in stereo frames, written into the header up front.
    bool create(const std::string& path, uint64_t frames, const VorbisComments& comments);
    // The next `count` frames (4 bytes each, little-endian 16-bit samples).
    bool append(const uint8_t* data, size_t count);
    // Ends the stream (the header gets its MD5 and length), hands the file
    // to the disk and closes it. False when anything failed on the way.
    bool finish();

    // errno of the first failed file operation, 0 if none (a failure of
    // the encoder itself has none).
    int lastError() const { return lastError_; }
    // What went wrong, in the encoder's words, when it was the encoder.
    const std::string& encoderProblem() const { return encoderProblem_; }

    // For the encoder's callbacks: the bytes it writes, where it moves to,
    // and where the file's write position stands.
    bool writeFromEncoder(const uint8_t* data, size_t size);
    bool seekFromEncoder(uint64_t offset);
    uint64_t position() const { return position_; }

private:
    struct Encoder;
    bool failed();

    platform::OutputFileOpener opener_;
    std::unique_ptr<platform::OutputFile> file_;
    std::unique_ptr<Encoder> encoder_;
    std::vector<int32_t> samples_;
    uint64_t position_ = 0;  // where the file's write position stands
    bool writeFailed_ = false;
    int lastError_ = 0;
    std::string encoderProblem_;
};

}  // namespace rilvane::proof
