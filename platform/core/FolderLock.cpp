#include "platform/FolderLock.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace rilvane::platform {

namespace {

// An open-file-description lock: it belongs to this opening of the file,
// not to the process, so that it conflicts with every other opening, also
// one in the same process, and goes away only with the descriptor.
bool lockWhole(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// The process id the holder wrote into the file, 0 if none can be read.
long holderOf(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return pid > 0 && end != text ? pid : 0;
}

}  // namespace

FolderLock::FolderLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

FolderLock::~FolderLock()
{
    release();
}

std::unique_ptr<FolderLock> FolderLock::take(const FilePath& path, Outcome& outcome, long& holder, int& error)
{
    holder = 0;
    error = 0;
    // A holder that is done removes the file while it still holds the lock;
    // a run that opened the old file just then finds it gone and tries the
    // new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        UniqueFd fd(::open(path.utf8().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644));
        struct stat opened {};
        if (!fd.valid() || ::fstat(fd.get(), &opened) != 0) {
            error = errno;
            outcome = Outcome::Failed;
            return nullptr;
        }
        if (!S_ISREG(opened.st_mode)) {
            error = EINVAL;
            outcome = Outcome::Failed;
            return nullptr;
        }
        if (!lockWhole(fd.get())) {
            if (errno != EAGAIN && errno != EACCES) {
                error = errno;
                outcome = Outcome::Failed;
                return nullptr;
            }
            holder = holderOf(fd.get());
            outcome = Outcome::Busy;
            return nullptr;
        }
        struct stat named {};
        if (::lstat(path.utf8().c_str(), &named) != 0 || named.st_ino != opened.st_ino || named.st_dev != opened.st_dev)
            continue;
        const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
        if (::ftruncate(fd.get(), 0) == 0) {
            const ssize_t written = ::pwrite(fd.get(), pid.data(), pid.size(), 0);
            (void)written;  // the id is only a help for the message of a refused run
        }
        outcome = Outcome::Locked;
        return std::unique_ptr<FolderLock>(new FolderLock(fd.release(), path.utf8()));
    }
    error = EBUSY;
    outcome = Outcome::Failed;
    return nullptr;
}

void FolderLock::release()
{
    if (fd_ < 0) return;
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace rilvane::platform
