// A file the program writes as raw bytes (no text translation): the WAV file
// of a rip. The writer sees only this interface, so the system calls stay in
// the platform and a test can put a failing file in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace rilvane::platform {

// A file name as the user chose it. It holds the name's UTF-8 bytes, which
// is what Linux takes; a system whose file names are wide characters
// converts it in createOutputFile alone.
class FilePath {
public:
    FilePath() = default;
    static FilePath fromUtf8(std::string utf8)
    {
        FilePath path;
        path.utf8_ = std::move(utf8);
        return path;
    }
    const std::string& utf8() const { return utf8_; }

private:
    std::string utf8_;
};

class OutputFile {
public:
    virtual ~OutputFile() = default;

    // Writes all `size` bytes at the current offset. False when they did
    // not all reach the file (disk full, size limit, device gone).
    virtual bool write(const uint8_t* data, size_t size) = 0;
    // Moves to `offset` bytes from the start.
    virtual bool seek(uint64_t offset) = 0;
    // Moves to the end and gives the file's length there.
    virtual bool seekEnd(uint64_t& length) = 0;
    // Cuts the file to `length` bytes.
    virtual bool truncate(uint64_t length) = 0;
    // Asks the system to start writing `length` bytes from `offset` to the
    // disk now, without waiting for it; a hint, so false changes nothing.
    virtual bool startWriteback(uint64_t /*offset*/, uint64_t /*length*/) { return true; }
    // Hands what was written to the disk (where the file system can).
    virtual bool flush() = 0;
    // Whether the file can still be reached by a name: false once it (or
    // its folder) was removed while it was being written.
    virtual bool hasName() const { return true; }
    // Closes the file and gives it the chosen name; false when the last of
    // it could not be written or it could not take the name (then the name
    // keeps what it had).
    virtual bool close() = 0;
    // Drops the file unfinished: the chosen name keeps what it had.
    virtual void discard() { close(); }
    // The system's error code (errno) of the first failure, 0 if none.
    virtual int lastError() const = 0;
};

// Creates a file for writing that replaces whatever is at `path` once it is
// closed: until then it is written under a hidden name of its own in the
// same folder, and the name keeps the old file. An existing regular file
// (which must be writable) or a symbolic link (replaced itself, its target
// untouched) may be replaced; anything else at that path (a FIFO, a device,
// a folder) is refused at once, never waited on: nullptr, with the error
// code in `error`. Dropped without close(), the file is discarded.
std::unique_ptr<OutputFile> createOutputFile(const FilePath& path, int& error);

// How a writer gets its file: createOutputFile, or a test's stand-in.
using OutputFileOpener = std::function<std::unique_ptr<OutputFile>(const FilePath& path, int& error)>;

}  // namespace rilvane::platform
