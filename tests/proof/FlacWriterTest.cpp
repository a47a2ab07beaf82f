// FLAC files decoded again by libFLAC's decoder: the samples bit for bit,
// the comments, and a full disk reported as a failure.
#include <gtest/gtest.h>

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "proof/FlacWriter.h"

namespace rilvane::proof {
namespace {

namespace fs = std::filesystem;

struct Decoded {
    std::vector<int16_t> samples;
    uint64_t totalSamples = 0;
    bool md5Set = false;
};

FLAC__StreamDecoderWriteStatus onFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* client)
{
    auto* d = static_cast<Decoded*>(client);
    for (uint32_t i = 0; i < frame->header.blocksize; ++i)
        for (uint32_t c = 0; c < frame->header.channels; ++c) d->samples.push_back(static_cast<int16_t>(buffer[c][i]));
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void onMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* m, void* client)
{
    if (m->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    auto* d = static_cast<Decoded*>(client);
    d->totalSamples = m->data.stream_info.total_samples;
    for (const uint8_t b : m->data.stream_info.md5sum) d->md5Set = d->md5Set || b != 0;
}

void onError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) { ADD_FAILURE() << "decoder error"; }

Decoded decode(const std::string& path)
{
    Decoded d;
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    FLAC__stream_decoder_set_md5_checking(decoder, true);
    EXPECT_EQ(FLAC__stream_decoder_init_file(decoder, path.c_str(), onFrame, onMetadata, onError, &d),
              FLAC__STREAM_DECODER_INIT_STATUS_OK);
    EXPECT_TRUE(FLAC__stream_decoder_process_until_end_of_stream(decoder));
    EXPECT_TRUE(FLAC__stream_decoder_finish(decoder));  // false when the MD5 does not match
    FLAC__stream_decoder_delete(decoder);
    return d;
}

std::vector<uint8_t> testAudio(size_t frames)
{
    std::vector<uint8_t> bytes(frames * 4);
    uint32_t x = 1;
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    // Extremes and silence, where an encoder's arithmetic would slip.
    for (size_t i = 0; i < 600 && 4 * i + 3 < bytes.size(); ++i) {
        bytes[4 * i] = 0x00, bytes[4 * i + 1] = 0x80;      // -32768 left
        bytes[4 * i + 2] = 0xFF, bytes[4 * i + 3] = 0x7F;  // 32767 right
    }
    for (size_t i = 600; i < 1200 && 4 * i + 3 < bytes.size(); ++i)
        bytes[4 * i] = bytes[4 * i + 1] = bytes[4 * i + 2] = bytes[4 * i + 3] = 0;
    return bytes;
}

class FlacWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/rilvane-flac-XXXXXX";
        folder_ = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string folder_;
};

TEST_F(FlacWriterTest, DecodesBitForBitWithItsComments)
{
    const size_t frames = 3 * 588 * 75 + 17;  // three seconds and a bit: blocks do not divide it
    const auto audio = testAudio(frames);
    const std::string path = folder_ + "/track \xC3\xBC.flac";
    FlacWriter writer;
    ASSERT_TRUE(writer.create(path, frames, {{"TRACKNUMBER", "7"}, {"ACCURATERIPID", "003-00000001-00000002-03000003"}}));
    for (size_t at = 0; at < frames; at += 5880)
        ASSERT_TRUE(writer.append(audio.data() + 4 * at, std::min<size_t>(5880, frames - at)));
    ASSERT_TRUE(writer.finish()) << writer.encoderProblem();

    const Decoded d = decode(path);
    EXPECT_EQ(d.totalSamples, frames);
    EXPECT_TRUE(d.md5Set);
    ASSERT_EQ(d.samples.size(), 2 * frames);
    for (size_t i = 0; i < 2 * frames; ++i) {
        const int16_t expected = static_cast<int16_t>(audio[2 * i] | audio[2 * i + 1] << 8);
        ASSERT_EQ(d.samples[i], expected) << "sample " << i;
    }

    FLAC__StreamMetadata* tags = nullptr;
    ASSERT_TRUE(FLAC__metadata_get_tags(path.c_str(), &tags));
    std::vector<std::string> comments;
    for (uint32_t i = 0; i < tags->data.vorbis_comment.num_comments; ++i)
        comments.emplace_back(reinterpret_cast<const char*>(tags->data.vorbis_comment.comments[i].entry));
    FLAC__metadata_object_delete(tags);
    EXPECT_EQ(comments, (std::vector<std::string>{"TRACKNUMBER=7", "ACCURATERIPID=003-00000001-00000002-03000003"}));
}

// A file on a disk that fills up after `room` bytes.
class SmallDisk : public platform::OutputFile {
public:
    explicit SmallDisk(uint64_t room) : room_(room) {}
    bool write(const uint8_t*, size_t size) override
    {
        if (at_ + size > room_) {
            error_ = ENOSPC;
            return false;
        }
        at_ += size;
        return true;
    }
    bool seek(uint64_t offset) override { return (at_ = offset), true; }
    bool seekEnd(uint64_t& length) override { return (length = at_), true; }
    bool truncate(uint64_t) override { return true; }
    bool flush() override { return true; }
    bool close() override { return true; }
    int lastError() const override { return error_; }

private:
    uint64_t room_;
    uint64_t at_ = 0;
    int error_ = 0;
};

TEST_F(FlacWriterTest, AFullDiskIsAFailureWithItsReason)
{
    const size_t frames = 588 * 75 * 2;
    const auto audio = testAudio(frames);
    for (const uint64_t room : {uint64_t{10}, uint64_t{50000}}) {  // in the header, in the audio
        FlacWriter writer([room](const platform::FilePath&, int&) { return std::make_unique<SmallDisk>(room); });
        bool ok = writer.create(folder_ + "/x.flac", frames, {{"TRACKNUMBER", "1"}});
        for (size_t at = 0; ok && at < frames; at += 5880) ok = writer.append(audio.data() + 4 * at, 5880);
        EXPECT_FALSE(ok && writer.finish()) << room;
        EXPECT_EQ(writer.lastError(), ENOSPC) << room;
    }
}

}  // namespace
}  // namespace rilvane::proof
