#include "platform/OwnFiles.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rilvane::platform {

namespace {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISDIR(mode)) return FileKind::Folder;
    if (S_ISFIFO(mode)) return FileKind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
    if (S_ISSOCK(mode)) return FileKind::Socket;
    if (S_ISLNK(mode)) return FileKind::Link;
    return FileKind::Other;
}

FileProblem systemProblem(int error)
{
    FileProblem problem;
    problem.error = error;
    if (error == ENOENT) problem.kind = FileKind::Missing;
    return problem;
}

// Opens `path` without waiting for a FIFO's writer or a device, and makes
// sure the descriptor is a regular file; blocking again once it is one.
UniqueFd openRegular(const FilePath& path, int flags, Links links, FileProblem& problem)
{
    if (links == Links::Refuse) flags |= O_NOFOLLOW;
    UniqueFd fd(::open(path.utf8().c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644));
    if (!fd.valid()) {
        const int error = errno;
        // O_NOFOLLOW on a link fails with ELOOP; a folder opened for writing
        // with EISDIR. Both say more as what the name is.
        struct stat st {};
        if ((error == ELOOP || error == EISDIR || error == ENXIO) && ::lstat(path.utf8().c_str(), &st) == 0 &&
            kindOf(st.st_mode) != FileKind::Regular) {
            problem.kind = kindOf(st.st_mode);
            problem.error = error;
        } else {
            problem = systemProblem(error);
        }
        return {};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        problem = systemProblem(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        problem.kind = kindOf(st.st_mode);
        return {};
    }
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status >= 0) ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

class PosixAppendFile : public AppendFile {
public:
    explicit PosixAppendFile(UniqueFd fd) : fd_(std::move(fd)) {}

    bool append(const char* data, size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_.get(), data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    bool close() override
    {
        if (!fd_.valid()) return error_ == 0;
        return ::close(fd_.release()) == 0 || fail(errno);
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

FileProblem readRegularFile(const FilePath& path, uint64_t limit, std::string& bytes, Links links)
{
    bytes.clear();
    FileProblem problem;
    const UniqueFd fd = openRegular(path, O_RDONLY, links, problem);
    if (!fd.valid()) return problem;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && static_cast<uint64_t>(st.st_size) > limit) {
        problem.tooLarge = true;
        return problem;
    }
    bytes.reserve(static_cast<size_t>(st.st_size));
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            bytes.clear();
            return systemProblem(errno);
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<size_t>(n) > limit) {
            bytes.clear();
            problem.tooLarge = true;
            return problem;
        }
        bytes.append(block, static_cast<size_t>(n));
    }
    return problem;
}

FileKind kindAt(const FilePath& path)
{
    struct stat st {};
    if (::lstat(path.utf8().c_str(), &st) != 0) return FileKind::Missing;
    return kindOf(st.st_mode);
}

std::unique_ptr<AppendFile> openAppendFile(const FilePath& path, FileProblem& problem)
{
    problem = FileProblem();
    UniqueFd fd = openRegular(path, O_WRONLY | O_APPEND | O_CREAT, Links::Refuse, problem);
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixAppendFile>(std::move(fd));
}

}  // namespace rilvane::platform
