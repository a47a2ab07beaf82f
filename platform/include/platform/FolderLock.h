// Keeps a second run out of a folder while one works in it: a lock held on
// a file in the folder by the kernel, for as long as the holder lives. A
// crash or kill -9 ends it with the process, so nothing stale is ever left
// to block a later run; the file itself, left behind then, means nothing.
#pragma once

#include <memory>
#include <string>

#include "platform/OutputFile.h"

namespace rilvane::platform {

class FolderLock {
public:
    enum class Outcome { Locked, Busy, Failed };

    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock on the file `path` (made when missing; a link or
    // anything but a regular file there is refused), without waiting.
    // Busy: another holds it, `holder` its process id where known (0 if
    // not). Failed: the file cannot be made or locked, `error` the
    // system's reason.
    static std::unique_ptr<FolderLock> take(const FilePath& path, Outcome& outcome, long& holder, int& error);

    // Removes the file and lets go; also done when dropped.
    void release();

private:
    FolderLock(int fd, std::string path);
    int fd_;
    std::string path_;
};

}  // namespace rilvane::platform
