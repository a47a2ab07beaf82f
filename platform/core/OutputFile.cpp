#include "platform/OutputFile.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rilvane::platform {

namespace {

class PosixOutputFile : public OutputFile {
public:
    explicit PosixOutputFile(UniqueFd fd) : fd_(std::move(fd)) {}

    bool write(const uint8_t* data, size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_.get(), data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(errno);
            }
            if (n == 0) return fail(ENOSPC);
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    bool seek(uint64_t offset) override
    {
        return ::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) >= 0 || fail(errno);
    }

    bool seekEnd(uint64_t& length) override
    {
        const off_t end = ::lseek(fd_.get(), 0, SEEK_END);
        if (end < 0) return fail(errno);
        length = static_cast<uint64_t>(end);
        return true;
    }

    bool truncate(uint64_t length) override
    {
        return ::ftruncate(fd_.get(), static_cast<off_t>(length)) == 0 || fail(errno);
    }

    bool startWriteback(uint64_t offset, uint64_t length) override
    {
        // Writing out while the rip goes on leaves the final sync little to
        // wait for. Not every file system can; then the sync does it all.
        return ::sync_file_range(fd_.get(), static_cast<off_t>(offset), static_cast<off_t>(length),
                                 SYNC_FILE_RANGE_WRITE) == 0;
    }

    bool flush() override
    {
        // File systems that cannot sync (EINVAL) or are read-only have
        // nothing more to hand over.
        return ::fsync(fd_.get()) == 0 || errno == EINVAL || errno == EROFS || fail(errno);
    }

    bool close() override
    {
        const int fd = fd_.release();
        return fd < 0 || ::close(fd) == 0 || fail(errno);
    }

    int lastError() const override { return error_; }

private:
    bool fail(int error)
    {
        if (error_ == 0) error_ = error;
        return false;
    }

    UniqueFd fd_;
    int error_ = 0;
};

}  // namespace

std::unique_ptr<OutputFile> createOutputFile(const FilePath& path, int& error)
{
    // Without O_NONBLOCK, opening a FIFO for writing waits until some reader
    // opens it: the window would hang. With it the open answers at once, and
    // only a regular file is kept; it is truncated only then.
    UniqueFd fd(::open(path.utf8().c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
    if (!fd.valid()) {
        error = errno;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = errno;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd.get(), 0) != 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::make_unique<PosixOutputFile>(std::move(fd));
}

}  // namespace rilvane::platform
