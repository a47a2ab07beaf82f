#include "rip/WavWriter.h"

#include "rip/WavHeader.h"

#include <cerrno>

namespace rilvane {

WavWriter::WavWriter(platform::OutputFileOpener opener) : opener_(std::move(opener)) {}

WavWriter::~WavWriter() { abandon(); }

bool WavWriter::create(const std::string& path)
{
    abandon();
    audioBytes_ = 0;
    end_ = 0;
    writtenBack_ = 0;
    writeFailed_ = false;
    lastError_ = 0;
    collected_.clear();
    blockEnds_.clear();
    collected_.reserve(kCollectBytes);
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
    end_ = kWavHeaderSize;
    writtenBack_ = 0;
    return true;
}

bool WavWriter::appendBlock(const uint8_t* data, size_t size)
{
    if (!file_ || writeFailed_) return false;
    if (collected_.size() + size > collected_.capacity() && !flushBlocks()) return false;
    if (size > collected_.capacity()) return writePiece(data, size, &size, 1);
    collected_.insert(collected_.end(), data, data + size);
    blockEnds_.push_back(collected_.size());
    // Written as soon as another block like this one would not fit, so a
    // failure shows at the block that completes the piece.
    if (collected_.capacity() - collected_.size() < size) return flushBlocks();
    return true;
}

bool WavWriter::flushBlocks()
{
    if (!file_ || writeFailed_) return false;
    if (collected_.empty()) return true;
    const bool ok = writePiece(collected_.data(), collected_.size(), blockEnds_.data(), blockEnds_.size());
    collected_.clear();
    blockEnds_.clear();
    return ok;
}

bool WavWriter::writePiece(const uint8_t* data, size_t size, const size_t* ends, size_t count)
{
    if (file_->write(data, size)) {
        end_ += size;
        audioBytes_ += static_cast<uint32_t>(size);
        if (end_ - writtenBack_ >= kWritebackBytes) {
            file_->startWriteback(writtenBack_, end_ - writtenBack_);
            writtenBack_ = end_;
        }
        return true;
    }
    // Keep the blocks that landed whole and cut off the part of one that
    // did not, so that the file holds only whole blocks and the final header
    // can describe it.
    writeFailed_ = true;
    uint64_t length = 0;
    size_t kept = 0;
    if (file_->seekEnd(length) && length > end_) {
        for (size_t i = 0; i < count && ends[i] <= length - end_; ++i) kept = ends[i];
    }
    file_->truncate(end_ + kept);
    end_ += kept;
    audioBytes_ += static_cast<uint32_t>(kept);
    return failed();
}

bool WavWriter::finish()
{
    if (!file_) return false;
    flushBlocks();
    uint64_t length = 0;
    bool ok = file_->seekEnd(length);
    if (!ok) length = kWavHeaderSize + uint64_t{audioBytes_};
    const auto riffSize = static_cast<uint32_t>(length >= 8 ? length - 8 : 0);
    // The audio count only grows by blocks that reached the file whole, so
    // after a failed write the header still describes exactly what is there.
    const bool described = writeHeader(riffSize, audioBytes_);
    const bool handedOver = file_->flush();
    ok = described && handedOver && ok;
    // A file whose header could not be written, or that did not reach the
    // disk, is no WAV file: it does not take the name, so whatever had the
    // name keeps it.
    if (described && handedOver) ok = file_->close() && ok;
    else file_->discard();
    if (!ok) {
        failed();
        writeFailed_ = true;
    }
    file_.reset();
    return ok;
}

void WavWriter::abandon()
{
    if (!file_) return;
    collected_.clear();
    blockEnds_.clear();
    file_->discard();
    file_.reset();
}

bool WavWriter::checkName()
{
    if (!file_) return false;
    if (file_->hasName()) return true;
    writeFailed_ = true;
    if (lastError_ == 0) lastError_ = ENOENT;
    return false;
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
