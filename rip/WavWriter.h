// Writes one ripped track as a WAV file: a provisional header, the audio
// blocks as they are read, and the final header once reading is over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rilvane {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file or truncates an existing one.
    bool create(const std::string& path);
    // Writes the header with both sizes 0 and sets the audio count to 0.
    bool writeProvisionalHeader();
    // Appends one block at the end of the file. A write that does not reach
    // the disk whole (disk full, stick pulled) is taken back: the file is cut
    // to the blocks written before, and the writer refuses further blocks.
    bool appendBlock(const uint8_t* data, size_t size);
    // Rewrites the header with RIFF size = file length - 8 and data size =
    // audio bytes, then closes the file. Returns false if that failed.
    bool finish();
    // Closes the file as it is, with its provisional header.
    void abandon();

    bool isOpen() const { return fd_ >= 0; }
    bool writeFailed() const { return writeFailed_; }
    uint32_t audioBytes() const { return audioBytes_; }
    // errno of the first failed write, 0 if none.
    int lastError() const { return lastError_; }

private:
    bool writeHeader(uint32_t riffSize, uint32_t dataSize);
    bool writeAll(const uint8_t* data, size_t size);
    void close();

    int fd_ = -1;
    uint32_t audioBytes_ = 0;
    bool writeFailed_ = false;
    int lastError_ = 0;
};

}  // namespace rilvane
