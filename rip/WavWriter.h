// Writes one ripped track as a WAV file: a provisional header, the audio
// blocks as they are read, and the final header once reading is over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drive/CdAudio.h"
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
    // Appends one block at the end of the file. Blocks are collected and
    // written in larger pieces, so a failed write shows at the block that
    // completes a piece or at flushBlocks(). A write that does not reach
    // the disk whole (disk full, stick pulled) is taken back to the last
    // whole block that did, and the writer refuses further blocks.
    bool appendBlock(const uint8_t* data, size_t size);
    // Writes the blocks collected so far; false as appendBlock.
    bool flushBlocks();
    // Writes any collected blocks, rewrites the header with RIFF size = file
    // length - 8 and data size = audio bytes in the file, hands the file to
    // the disk and closes it. Returns false if the header, the hand-over or
    // the close failed (a failed block write shows in writeFailed()).
    bool finish();
    // Writes any collected blocks and closes the file with its provisional
    // header.
    void abandon();

    bool isOpen() const { return file_ != nullptr; }
    bool writeFailed() const { return writeFailed_; }
    // Audio bytes in the file, not counting collected blocks.
    uint32_t audioBytes() const { return audioBytes_; }
    // errno of the first failure, 0 if none.
    int lastError() const { return lastError_; }

    // Collection size: large enough that a block costs no system call of
    // its own, small enough to stay in the processor's cache.
    static constexpr size_t kCollectBytes = 8 * size_t{cd::kReadBlockBytes};
    // Every this many bytes the file system is asked to start writing them
    // out, so the final sync has little left to wait for.
    static constexpr uint64_t kWritebackBytes = 8u << 20;

private:
    bool writeHeader(uint32_t riffSize, uint32_t dataSize);
    // Writes `size` bytes holding whole blocks that end at `ends` (offsets
    // within the piece). On a failed write only the whole blocks that landed
    // stay in the file.
    bool writePiece(const uint8_t* data, size_t size, const size_t* ends, size_t count);
    // Keeps the file's first error code.
    bool failed();

    platform::OutputFileOpener opener_;
    std::unique_ptr<platform::OutputFile> file_;
    std::vector<uint8_t> collected_;
    std::vector<size_t> blockEnds_;
    uint64_t end_ = 0;  // length of the file as written
    uint64_t writtenBack_ = 0;  // where the last writeback request ended
    uint32_t audioBytes_ = 0;
    bool writeFailed_ = false;
    int lastError_ = 0;
};

}  // namespace rilvane
