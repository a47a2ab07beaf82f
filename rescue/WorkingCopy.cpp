#include "rescue/WorkingCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "drive/CdAudio.h"
#include "rescue/TextFile.h"

namespace rilvane::rescue {

namespace {

constexpr off_t kSectorBytes = cd::kSectorBytes;

}  // namespace

WorkingCopy::~WorkingCopy()
{
    if (fd_ >= 0) ::close(fd_);
}

bool WorkingCopy::open(const std::string& path, int32_t sectors, std::string& error)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "keine gewöhnliche Datei";
        return false;
    }
    lengthFound_ = st.st_size;
    written_.assign(static_cast<size_t>((sectors + RescueMap::kSumSectors - 1) / RescueMap::kSumSectors), false);
    // Growing the file leaves the new sectors zero: silence until read.
    if (st.st_size != off_t{sectors} * kSectorBytes && ::ftruncate(fd_, off_t{sectors} * kSectorBytes) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool WorkingCopy::takeWritten(int32_t stretch)
{
    const auto i = static_cast<size_t>(stretch);
    if (i >= written_.size() || !written_[i]) return false;
    written_[i] = false;
    return true;
}

bool WorkingCopy::write(int32_t sector, const uint8_t* data, int32_t count)
{
    for (int32_t s = sector; s < sector + count; s += RescueMap::kSumSectors - s % RescueMap::kSumSectors)
        if (static_cast<size_t>(s / RescueMap::kSumSectors) < written_.size())
            written_[static_cast<size_t>(s / RescueMap::kSumSectors)] = true;
    size_t left = static_cast<size_t>(count) * kSectorBytes;
    off_t at = off_t{sector} * kSectorBytes;
    while (left > 0) {
        const ssize_t n = ::pwrite(fd_, data, left, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = std::strerror(n < 0 ? errno : ENOSPC);
            return false;
        }
        data += n;
        at += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool WorkingCopy::read(int32_t sector, uint8_t* data, int32_t count) const
{
    size_t left = static_cast<size_t>(count) * kSectorBytes;
    off_t at = off_t{sector} * kSectorBytes;
    while (left > 0) {
        const ssize_t n = ::pread(fd_, data, left, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? std::strerror(errno) : "Datei zu kurz";
            return false;
        }
        data += n;
        at += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool WorkingCopy::sync()
{
    if (::fdatasync(fd_) == 0) return true;
    error_ = std::strerror(errno);
    return false;
}

bool WorkingCopy::writeCue(const std::string& cuePath, const std::string& text, std::string& error)
{
    return replaceFile(cuePath, text, error);
}

}  // namespace rilvane::rescue
