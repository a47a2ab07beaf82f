#include "rip/WavWriter.h"

#include "rip/WavHeader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rilvane {

WavWriter::~WavWriter() { close(); }

bool WavWriter::create(const std::string& path)
{
    close();
    audioBytes_ = 0;
    writeFailed_ = false;
    lastError_ = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

bool WavWriter::writeProvisionalHeader()
{
    audioBytes_ = 0;
    if (!writeHeader(0, 0)) {
        writeFailed_ = true;
        return false;
    }
    return true;
}

bool WavWriter::appendBlock(const uint8_t* data, size_t size)
{
    if (fd_ < 0 || writeFailed_) return false;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0 || !writeAll(data, size)) {
        // Cut back whatever part of the block did land, so that the file
        // holds only whole blocks and the final header can describe it.
        writeFailed_ = true;
        if (end >= 0) {
            if (::ftruncate(fd_, end) != 0 && lastError_ == 0) lastError_ = errno;
        }
        return false;
    }
    audioBytes_ += static_cast<uint32_t>(size);
    return true;
}

bool WavWriter::finish()
{
    if (fd_ < 0) return false;
    bool ok = true;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        if (lastError_ == 0) lastError_ = errno;
        ok = false;
    }
    const uint32_t length = ok ? static_cast<uint32_t>(st.st_size) : kWavHeaderSize + audioBytes_;
    // The audio count only grows by blocks that reached the file whole, so
    // after a failed write the header still describes exactly what is there.
    if (!writeHeader(length >= 8 ? length - 8 : 0, audioBytes_)) ok = false;
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        if (lastError_ == 0) lastError_ = errno;
        ok = false;
    }
    if (::close(fd_) != 0) {
        if (lastError_ == 0) lastError_ = errno;
        ok = false;
    }
    fd_ = -1;
    if (!ok) writeFailed_ = true;
    return ok;
}

void WavWriter::abandon() { close(); }

bool WavWriter::writeHeader(uint32_t riffSize, uint32_t dataSize)
{
    if (fd_ < 0) return false;
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        if (lastError_ == 0) lastError_ = errno;
        return false;
    }
    const WavHeader h = WavHeader::make(riffSize, dataSize);
    return writeAll(h.riff.data(), h.riff.size()) && writeAll(h.wave.data(), h.wave.size()) &&
           writeAll(h.fmt.data(), h.fmt.size()) && writeAll(h.format.data(), h.format.size()) &&
           writeAll(h.data.data(), h.data.size());
}

bool WavWriter::writeAll(const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (lastError_ == 0) lastError_ = errno;
            return false;
        }
        if (n == 0) {
            if (lastError_ == 0) lastError_ = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void WavWriter::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace rilvane
