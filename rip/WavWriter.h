// Writes one ripped track as a WAV file: a provisional header, the audio
// blocks as they are read, and the final header once reading is over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/OutputFile.h"

namespace rilvane {

class WavWriter {
public:
    // `opener` makes the file; tests hand in one whose writes fail.
    explicit WavWriter(platform::OutputFileOpener opener = platform::createOutputFile);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates the file (UTF-8 name) or truncates an existing one. Anything
    // but a regular file at that path (a FIFO, a device) is refused.
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

    bool isOpen() const { return file_ != nullptr; }
    bool writeFailed() const { return writeFailed_; }
    uint32_t audioBytes() const { return audioBytes_; }
    // errno of the first failure, 0 if none.
    int lastError() const { return lastError_; }

private:
    bool writeHeader(uint32_t riffSize, uint32_t dataSize);
    // Keeps the file's first error code.
    bool failed();

    platform::OutputFileOpener opener_;
    std::unique_ptr<platform::OutputFile> file_;
    uint32_t audioBytes_ = 0;
    bool writeFailed_ = false;
    int lastError_ = 0;
};

}  // namespace rilvane
