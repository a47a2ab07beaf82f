// Files the program reads or appends to by name, opened so that what is at
// the name cannot make it wait, fill the memory or write elsewhere: only a
// regular file is read or appended to, opened without waiting (a FIFO never
// blocks the open) and checked on the opened descriptor, never by its name.
// A size limit fits what the file can be, so an endless one is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/OutputFile.h"

namespace rilvane::platform {

// What a name turned out to be when it was not a regular file.
enum class FileKind { Missing, Regular, Folder, Fifo, Device, Socket, Link, Other };

struct FileProblem {
    FileKind kind = FileKind::Regular;  // Regular: not a matter of kind
    int error = 0;                      // the system's error code, 0 if none
    bool tooLarge = false;              // larger than the limit

    explicit operator bool() const { return kind != FileKind::Regular || error != 0 || tooLarge; }
};

// Whether a link at `path` is followed to the file it names.
enum class Links { Follow, Refuse };

// Reads the whole regular file at `path` into `bytes` when it holds at most
// `limit` bytes (also when it grows while read). Anything else is refused
// with what it is; the caller's bytes are then empty.
FileProblem readRegularFile(const FilePath& path, uint64_t limit, std::string& bytes, Links links = Links::Follow);

// What is at `path` (a link as a link): Missing when nothing is.
FileKind kindAt(const FilePath& path);

// A regular file opened for appending, made when missing. A link at the
// name is refused (the file is written only where its name is), as is
// anything that is not a regular file.
class AppendFile {
public:
    virtual ~AppendFile() = default;
    // Writes all `size` bytes at the end. False when they did not all
    // reach the file.
    virtual bool append(const char* data, size_t size) = 0;
    // Closes the file; false when the last of it could not be written.
    virtual bool close() = 0;
    virtual int lastError() const = 0;
};

std::unique_ptr<AppendFile> openAppendFile(const FilePath& path, FileProblem& problem);

}  // namespace rilvane::platform
