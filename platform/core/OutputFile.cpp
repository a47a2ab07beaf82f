#include "platform/OutputFile.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace rilvane::platform {

namespace {

// A name in the file's own folder that nobody else uses: hidden, derived from
// the chosen name (so that a stray one after a crash says what it was) and
// short enough for any file system's name limit.
std::string temporaryName(const std::string& name, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    const auto now = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%lx%llx%x%x.part", static_cast<unsigned long>(::getpid()), now & 0xFFFFFF,
                  counter.fetch_add(1), attempt);
    return "." + name.substr(0, 160) + suffix;
}

class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(UniqueFd folder, std::string name, std::string temporary, UniqueFd fd)
        : folder_(std::move(folder)), name_(std::move(name)), temporary_(std::move(temporary)), fd_(std::move(fd))
    {
    }

    ~PosixOutputFile() override { discard(); }

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

    bool hasName() const override
    {
        // A file whose folder was removed (or that was deleted itself) has
        // no link left: whatever is written to it is lost at the close.
        struct stat st {};
        return fd_.valid() && ::fstat(fd_.get(), &st) == 0 && st.st_nlink > 0;
    }

    bool close() override
    {
        if (!fd_.valid()) return temporary_.empty() || fail(EBADF);
        const bool named = hasName();
        const int fd = fd_.release();
        bool ok = ::close(fd) == 0 || fail(errno);
        if (!named) {
            temporary_.clear();
            return fail(ENOENT);
        }
        // Only now does the chosen name change: it gets the finished file in
        // one step, whatever was there (an older file, or a symbolic link,
        // which is replaced, never followed).
        if (ok && ::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) != 0) ok = fail(errno);
        if (!ok) ::unlinkat(folder_.get(), temporary_.c_str(), 0);
        temporary_.clear();
        if (ok) syncFolder();
        return ok;
    }

    void discard() override
    {
        if (temporary_.empty()) return;
        fd_ = UniqueFd();
        ::unlinkat(folder_.get(), temporary_.c_str(), 0);
        temporary_.clear();
    }

    int lastError() const override { return error_; }

private:
    bool fail(int error)
    {
        if (error_ == 0) error_ = error;
        return false;
    }

    // Hands the new name to the disk as well. The folder may not be
    // readable (only writable and searchable); then the file system writes
    // it out in its own time.
    void syncFolder()
    {
        const UniqueFd folder(::openat(folder_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.valid()) ::fsync(folder.get());
    }

    UniqueFd folder_;
    std::string name_;
    std::string temporary_;  // empty once closed or discarded
    UniqueFd fd_;
    int error_ = 0;
};

}  // namespace

std::unique_ptr<OutputFile> createOutputFile(const FilePath& path, int& error)
{
    const std::string& full = path.utf8();
    const auto slash = full.rfind('/');
    const std::string folderPath =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : full.substr(0, slash));
    const std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
    if (full.empty()) {
        error = ENOENT;
        return nullptr;
    }
    if (name.empty() || name == "." || name == "..") {
        error = EISDIR;
        return nullptr;
    }
    UniqueFd folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        error = errno;
        return nullptr;
    }

    // What is at the name now. A regular file we may write is replaced and
    // lends the new one its permissions (one we may not write stays, as it
    // would if it were opened for writing); a symbolic link is replaced
    // itself, its target is left alone; a folder, a FIFO or a device is
    // refused, as nothing that could be written over with a WAV file.
    bool keepMode = false;
    mode_t mode = 0;
    struct stat st {};
    if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = EISDIR;
            return nullptr;
        }
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            error = EINVAL;
            return nullptr;
        }
        if (S_ISREG(st.st_mode)) {
            if (::faccessat(folder.get(), name.c_str(), W_OK, AT_EACCESS) != 0) {
                error = errno;
                return nullptr;
            }
            keepMode = true;
            mode = st.st_mode & 0777;
        }
    } else if (errno != ENOENT) {
        error = errno;
        return nullptr;
    }

    // The file is written under a name of its own in the same folder and
    // takes the chosen name only when it is closed, so a save that fails or
    // is abandoned leaves the old file as it was.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = temporaryName(name, attempt);
        UniqueFd fd(::openat(folder.get(), temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644));
        if (!fd.valid()) {
            if (errno == EEXIST) continue;
            error = errno;
            return nullptr;
        }
        // The permissions of the file replaced (umask applied to a new one).
        if (keepMode) ::fchmod(fd.get(), mode);
        error = 0;
        return std::make_unique<PosixOutputFile>(std::move(folder), name, temporary, std::move(fd));
    }
    error = EEXIST;
    return nullptr;
}

}  // namespace rilvane::platform
