#include "proof/FlacWriter.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cerrno>

namespace rilvane::proof {

namespace {

constexpr unsigned kCompressionLevel = 5;  // flac's own default: good size, quick
constexpr unsigned kPaddingBytes = 1024;   // room to add tags later without rewriting the file

FLAC__StreamEncoderWriteStatus writeBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* client);
FLAC__StreamEncoderSeekStatus seekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client);
FLAC__StreamEncoderTellStatus tellWhere(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client);

}  // namespace

// The encoder and the metadata blocks it refers to until the stream ends.
struct FlacWriter::Encoder {
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    FLAC__StreamMetadata* padding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    bool started = false;

    ~Encoder()
    {
        if (encoder) FLAC__stream_encoder_delete(encoder);  // finishes an unfinished stream first
        if (comments) FLAC__metadata_object_delete(comments);
        if (padding) FLAC__metadata_object_delete(padding);
    }
};

namespace {

// The callbacks' client: the writer itself, reached through these three.
struct Callbacks {
    static FlacWriter* writer(void* client) { return static_cast<FlacWriter*>(client); }
};

}  // namespace

FlacWriter::FlacWriter(platform::OutputFileOpener opener) : opener_(std::move(opener)) {}

FlacWriter::~FlacWriter()
{
    encoder_.reset();  // may still write through the file
    if (file_) file_->close();
}

bool FlacWriter::failed()
{
    if (file_ && lastError_ == 0) lastError_ = file_->lastError();
    writeFailed_ = true;
    return false;
}

bool FlacWriter::writeFromEncoder(const uint8_t* data, size_t size)
{
    if (writeFailed_ || !file_) return false;
    if (!file_->write(data, size)) return failed();
    position_ += size;
    return true;
}

bool FlacWriter::seekFromEncoder(uint64_t offset)
{
    if (writeFailed_ || !file_) return false;
    if (!file_->seek(offset)) return failed();
    position_ = offset;
    return true;
}

bool FlacWriter::create(const std::string& path, uint64_t frames, const VorbisComments& comments)
{
    int error = 0;
    file_ = opener_(platform::FilePath::fromUtf8(path), error);
    if (!file_) {
        lastError_ = error;
        return false;
    }
    encoder_ = std::make_unique<Encoder>();
    Encoder& e = *encoder_;
    if (!e.encoder || !e.comments || !e.padding) {
        encoderProblem_ = "no memory for the encoder";
        lastError_ = ENOMEM;
        return false;
    }
    for (const auto& [name, value] : comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name.c_str(), value.c_str()) ||
            !FLAC__metadata_object_vorbiscomment_append_comment(e.comments, entry, /*copy=*/false)) {
            encoderProblem_ = "comment " + name + " cannot be written";
            return false;
        }
    }
    e.padding->length = kPaddingBytes;
    FLAC__StreamMetadata* blocks[] = {e.comments, e.padding};

    FLAC__stream_encoder_set_channels(e.encoder, 2);
    FLAC__stream_encoder_set_bits_per_sample(e.encoder, 16);
    FLAC__stream_encoder_set_sample_rate(e.encoder, 44100);
    FLAC__stream_encoder_set_compression_level(e.encoder, kCompressionLevel);
    FLAC__stream_encoder_set_verify(e.encoder, true);
    FLAC__stream_encoder_set_total_samples_estimate(e.encoder, frames);
    FLAC__stream_encoder_set_metadata(e.encoder, blocks, 2);
    const FLAC__StreamEncoderInitStatus status =
        FLAC__stream_encoder_init_stream(e.encoder, writeBytes, seekTo, tellWhere, nullptr, this);
    if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        encoderProblem_ = FLAC__StreamEncoderInitStatusString[status];
        return false;
    }
    e.started = true;
    return !writeFailed_;
}

bool FlacWriter::append(const uint8_t* data, size_t count)
{
    if (!encoder_ || !encoder_->started || writeFailed_) return false;
    samples_.resize(2 * count);
    for (size_t i = 0; i < 2 * count; ++i)
        samples_[i] = static_cast<int16_t>(uint16_t{data[2 * i]} | uint16_t{data[2 * i + 1]} << 8);
    if (!FLAC__stream_encoder_process_interleaved(encoder_->encoder, samples_.data(), static_cast<uint32_t>(count))) {
        if (!writeFailed_)
            encoderProblem_ = FLAC__stream_encoder_get_resolved_state_string(encoder_->encoder);
        writeFailed_ = true;
        return false;
    }
    return true;
}

bool FlacWriter::finish()
{
    if (!encoder_ || !file_) return false;
    bool ok = encoder_->started && !writeFailed_;
    if (encoder_->started) {
        if (!FLAC__stream_encoder_finish(encoder_->encoder)) {
            if (!writeFailed_) encoderProblem_ = FLAC__stream_encoder_get_resolved_state_string(encoder_->encoder);
            ok = false;
        }
        encoder_->started = false;
    }
    ok = ok && !writeFailed_;
    if (!file_->flush()) ok = failed();
    if (!file_->close()) ok = failed();
    file_.reset();
    encoder_.reset();
    return ok;
}

namespace {

FLAC__StreamEncoderWriteStatus writeBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* client)
{
    return Callbacks::writer(client)->writeFromEncoder(buffer, bytes) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                                      : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus seekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client)
{
    return Callbacks::writer(client)->seekFromEncoder(offset) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                                              : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus tellWhere(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client)
{
    *offset = Callbacks::writer(client)->position();
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

}  // namespace

}  // namespace rilvane::proof
