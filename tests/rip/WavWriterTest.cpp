#include "rip/WavHeader.h"
#include "rip/WavWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace rilvane {
namespace {

constexpr size_t kBlock = 23520;

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t off)
{
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (uint32_t(b[off + 3]) << 24);
}

std::vector<uint8_t> block(uint8_t seed)
{
    std::vector<uint8_t> b(kBlock);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

class WavWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/rilvane-wav-XXXXXX";
        dir_ = mkdtemp(tmpl);
        path_ = dir_ + "/track.wav";
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string dir_;
    std::string path_;
};

TEST_F(WavWriterTest, FinalHeaderBytes)
{
    WavWriter w;
    const auto b = block(1);
    ASSERT_TRUE(w.create(path_) && w.writeProvisionalHeader() && w.appendBlock(b.data(), b.size()) && w.finish());
    const auto f = readFile(path_);
    const uint8_t expected[44] = {'R', 'I', 'F', 'F', 0x04, 0x5C, 0x00, 0x00, 'W', 'A', 'V', 'E',
                                  'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0,
                                  0x10, 0xB1, 0x02, 0x00, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0xE0, 0x5B, 0, 0};
    ASSERT_GE(f.size(), 44u);
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 44), std::vector<uint8_t>(expected, expected + 44));
}

TEST_F(WavWriterTest, BlocksThenFinishGivesExactSizes)
{
    WavWriter w;
    ASSERT_TRUE(w.create(path_));
    ASSERT_TRUE(w.writeProvisionalHeader());
    auto provisional = readFile(path_);
    ASSERT_EQ(provisional.size(), 44u);
    EXPECT_EQ(u32At(provisional, 4), 0u);
    EXPECT_EQ(u32At(provisional, 40), 0u);

    const auto b1 = block(1), b2 = block(2), b3 = block(3);
    ASSERT_TRUE(w.appendBlock(b1.data(), b1.size()));
    ASSERT_TRUE(w.appendBlock(b2.data(), b2.size()));
    ASSERT_TRUE(w.appendBlock(b3.data(), b3.size()));
    ASSERT_TRUE(w.finish());

    const auto f = readFile(path_);
    ASSERT_EQ(f.size(), 44 + 3 * kBlock);
    EXPECT_EQ(u32At(f, 4), 36 + 3 * kBlock);
    EXPECT_EQ(u32At(f, 40), 3 * kBlock);
    EXPECT_TRUE(std::equal(b2.begin(), b2.end(), f.begin() + 44 + kBlock));
}

TEST_F(WavWriterTest, NothingReadGivesA44ByteFileWithRiffSize36)
{
    WavWriter w;
    ASSERT_TRUE(w.create(path_));
    ASSERT_TRUE(w.writeProvisionalHeader());
    ASSERT_TRUE(w.finish());
    const auto f = readFile(path_);
    ASSERT_EQ(f.size(), 44u);
    EXPECT_EQ(u32At(f, 4), 36u);
    EXPECT_EQ(u32At(f, 40), 0u);
}

TEST_F(WavWriterTest, AbandonKeepsTheProvisionalHeaderAndExistingFilesAreTruncated)
{
    { std::ofstream(path_) << std::string(100000, 'x'); }
    WavWriter w;
    ASSERT_TRUE(w.create(path_));
    ASSERT_TRUE(w.writeProvisionalHeader());
    w.abandon();
    const auto f = readFile(path_);
    ASSERT_EQ(f.size(), 44u);
    EXPECT_EQ(u32At(f, 4), 0u);
    EXPECT_EQ(u32At(f, 40), 0u);
}

TEST_F(WavWriterTest, CreateFailsInAMissingFolder)
{
    WavWriter w;
    EXPECT_FALSE(w.create(dir_ + "/missing/track.wav"));
    EXPECT_FALSE(w.isOpen());
}

// The real file on a disk that is full once the file holds `capacity`
// bytes: a write that would pass that writes what fits, then fails.
class FullDisk : public platform::OutputFile {
public:
    FullDisk(std::unique_ptr<platform::OutputFile> file, uint64_t capacity) : file_(std::move(file)), capacity_(capacity) {}
    bool write(const uint8_t* data, size_t size) override
    {
        const uint64_t room = capacity_ > position_ ? capacity_ - position_ : 0;
        const size_t written = static_cast<size_t>(std::min<uint64_t>(size, room));
        if (!file_->write(data, written)) return false;
        position_ += written;
        if (written < size) error_ = ENOSPC;
        return written == size;
    }
    bool seek(uint64_t offset) override { return file_->seek(position_ = offset); }
    bool seekEnd(uint64_t& length) override { return file_->seekEnd(length) && ((position_ = length), true); }
    bool truncate(uint64_t length) override { return file_->truncate(length); }
    bool flush() override { return file_->flush(); }
    bool close() override { return file_->close(); }
    int lastError() const override { return error_ ? error_ : file_->lastError(); }

private:
    std::unique_ptr<platform::OutputFile> file_;
    uint64_t capacity_;
    uint64_t position_ = 0;
    int error_ = 0;
};

std::unique_ptr<platform::OutputFile> fullDiskAt(const platform::FilePath& path, int& error, uint64_t capacity)
{
    auto file = platform::createOutputFile(path, error);
    if (!file) return nullptr;
    return std::make_unique<FullDisk>(std::move(file), capacity);
}

// A disk that fills up in the middle of a block: the writer cuts the partial
// block off, keeps the whole blocks before it (also those written in the
// same piece), refuses the rest, and the finished header describes exactly
// the whole blocks that are in the file. The failure shows at the block that
// completes a piece, or when the last blocks are written at the end.
TEST_F(WavWriterTest, DiskFullMidBlockLeavesAConsistentFile)
{
    struct Case {
        const char* what;
        std::vector<size_t> blocks;  // sizes handed in, in order
        uint64_t capacity;           // bytes the disk takes
        size_t kept;                 // whole blocks left in the file
        bool failsAtFlush;           // the failure shows only at flushBlocks()
    };
    const size_t perPiece = WavWriter::kCollectBytes / kBlock;
    const std::vector<size_t> onePiece(perPiece, kBlock);
    std::vector<size_t> twoPieces(2 * perPiece, kBlock);
    const std::vector<Case> cases = {
        {"in the first piece", onePiece, 44 + 2 * kBlock + 1000, 2, false},
        {"just after the header", onePiece, 44 + 10, 0, false},
        {"in the second piece", twoPieces, 44 + (perPiece + 3) * kBlock + 7, perPiece + 3, false},
        {"on a block's end", onePiece, 44 + 5 * kBlock, 5, false},
        {"in the last, short piece", {kBlock, kBlock, kBlock}, 44 + kBlock + 10, 1, true},
        {"after a short block", {kBlock, 4704, kBlock}, 44 + kBlock + 4704 + 1, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WavWriter w([&](const platform::FilePath& path, int& error) { return fullDiskAt(path, error, c.capacity); });
        ASSERT_TRUE(w.create(path_) && w.writeProvisionalHeader());
        const auto b = block(9);
        size_t accepted = 0;
        while (accepted < c.blocks.size() && w.appendBlock(b.data(), c.blocks[accepted])) ++accepted;
        if (c.failsAtFlush) {
            EXPECT_EQ(accepted, c.blocks.size());
            EXPECT_FALSE(w.flushBlocks());
        } else {
            // Refused at the end of the piece that did not fit, not later.
            EXPECT_LT(accepted, c.blocks.size());
            EXPECT_EQ((accepted + 1) % perPiece, 0u);
        }
        EXPECT_TRUE(w.writeFailed());
        EXPECT_EQ(w.lastError(), ENOSPC);
        EXPECT_FALSE(w.appendBlock(b.data(), kBlock));  // refused after a failure
        EXPECT_TRUE(w.finish());

        size_t audio = 0;
        for (size_t i = 0; i < c.kept; ++i) audio += c.blocks[i];
        const auto f = readFile(path_);
        ASSERT_EQ(f.size(), 44 + audio);
        EXPECT_EQ(u32At(f, 4), 36 + audio);
        EXPECT_EQ(u32At(f, 40), audio);
    }
}

// Blocks of every size go into the file in order and whole, across many
// pieces, however the file is ended: finished, or abandoned (a rip whose
// table of contents was declined, a writer dropped) with its provisional
// header but every block handed in.
TEST_F(WavWriterTest, EveryBlockReachesTheFileInOrder)
{
    std::vector<uint8_t> expected;
    for (const bool finish : {true, false}) {
        SCOPED_TRACE(finish ? "finished" : "abandoned");
        expected.clear();
        WavWriter w;
        ASSERT_TRUE(w.create(path_) && w.writeProvisionalHeader());
        // More than the writeback step, with short blocks between whole ones
        // and one larger than a piece.
        for (int i = 0; i < 420; ++i) {
            auto b = block(static_cast<uint8_t>(i));
            const size_t size = i % 37 == 5 ? 2352 * (1 + i % 9) : i == 200 ? 0 : kBlock;
            if (i == 300) b.resize(WavWriter::kCollectBytes + 2352, 0x5a);
            const size_t n = i == 300 ? b.size() : size;
            ASSERT_TRUE(w.appendBlock(b.data(), n));
            expected.insert(expected.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
        }
        if (finish) ASSERT_TRUE(w.finish());
        else w.abandon();
        const auto f = readFile(path_);
        ASSERT_EQ(f.size(), 44 + expected.size());
        EXPECT_EQ(u32At(f, 40), finish ? expected.size() : 0u);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), f.begin() + 44));
    }
}

}  // namespace
}  // namespace rilvane
