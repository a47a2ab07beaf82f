#include "rip/WavWriter.h"

#include "rip/WavHeader.h"

namespace rilvane {

WavWriter::WavWriter(platform::OutputFileOpener opener) : opener_(std::move(opener)) {}

WavWriter::~WavWriter() { abandon(); }

bool WavWriter::create(const std::string& path)
{
    abandon();
    audioBytes_ = 0;
    writeFailed_ = false;
    lastError_ = 0;
    int error = 0;
    file_ = opener_(platform::FilePath::fromUtf8(path), error);
    if (!file_) {
        lastError_ = error;
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
    if (!file_ || writeFailed_) return false;
    uint64_t end = 0;
    const bool atEnd = file_->seekEnd(end);
    if (!atEnd || !file_->write(data, size)) {
        // Cut back whatever part of the block did land, so that the file
        // holds only whole blocks and the final header can describe it.
        writeFailed_ = true;
        if (atEnd) file_->truncate(end);
        return failed();
    }
    audioBytes_ += static_cast<uint32_t>(size);
    return true;
}

bool WavWriter::finish()
{
    if (!file_) return false;
    uint64_t length = 0;
    bool ok = file_->seekEnd(length);
    if (!ok) length = kWavHeaderSize + uint64_t{audioBytes_};
    const auto riffSize = static_cast<uint32_t>(length >= 8 ? length - 8 : 0);
    // The audio count only grows by blocks that reached the file whole, so
    // after a failed write the header still describes exactly what is there.
    ok = writeHeader(riffSize, audioBytes_) && ok;
    ok = file_->flush() && ok;
    ok = file_->close() && ok;
    if (!ok) {
        failed();
        writeFailed_ = true;
    }
    file_.reset();
    return ok;
}

void WavWriter::abandon()
{
    if (file_) file_->close();
    file_.reset();
}

bool WavWriter::writeHeader(uint32_t riffSize, uint32_t dataSize)
{
    if (!file_) return false;
    if (!file_->seek(0)) return failed();
    const WavHeader h = WavHeader::make(riffSize, dataSize);
    const bool ok = file_->write(h.riff.data(), h.riff.size()) && file_->write(h.wave.data(), h.wave.size()) &&
                    file_->write(h.fmt.data(), h.fmt.size()) && file_->write(h.format.data(), h.format.size()) &&
                    file_->write(h.data.data(), h.data.size());
    return ok || failed();
}

bool WavWriter::failed()
{
    if (lastError_ == 0 && file_) lastError_ = file_->lastError();
    return false;
}

}  // namespace rilvane
