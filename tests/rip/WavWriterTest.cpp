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
#include <sys/stat.h>
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

std::vector<std::string> folderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Whatever is at the chosen name stays as it was until the file is finished
// (an abandoned save, a rejected track, leaves it whole), and is then
// replaced in one step: an older file by the new one with its permissions, a
// symbolic link by the file itself, so that the link's target, existing or
// not, is never written. No other name is left in the folder.
TEST_F(WavWriterTest, TheNameIsReplacedOnlyAtTheFinishAndLinksAreNotFollowed)
{
    struct Case {
        const char* what;
        const char* linkTo;  // nullptr: an ordinary file (or nothing) at the name
        bool existing;
    };
    const std::string decoy = dir_ + "/decoy.txt";
    const std::string elsewhere = dir_ + "/elsewhere.wav";
    for (const Case& c : {Case{"nothing there", nullptr, false}, Case{"an older file", nullptr, true},
                          Case{"a link to another file", "decoy.txt", true},
                          Case{"a dangling link", "elsewhere.wav", false}}) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path_);
        { std::ofstream(decoy) << "decoy"; }
        if (c.linkTo) std::filesystem::create_symlink(c.linkTo, path_);
        else if (c.existing) {
            { std::ofstream(path_) << std::string(100000, 'x'); }
            std::filesystem::permissions(path_, std::filesystem::perms(0600));
        }
        const auto before = c.linkTo ? std::vector<uint8_t>() : readFile(path_);
        const auto entries = folderEntries(dir_);
        const auto b = block(4);

        for (const bool finish : {false, true}) {
            WavWriter w;
            ASSERT_TRUE(w.create(path_) && w.writeProvisionalHeader() && w.appendBlock(b.data(), b.size()));
            ASSERT_TRUE(w.flushBlocks());
            // Still the old content while the file is written.
            const auto unchanged = [&] {
                if (c.linkTo) return std::filesystem::is_symlink(path_);
                return readFile(path_) == before;
            };
            EXPECT_TRUE(unchanged());
            if (!finish) {
                w.abandon();
                EXPECT_EQ(folderEntries(dir_), entries);
                EXPECT_TRUE(unchanged());
                continue;
            }
            ASSERT_TRUE(w.finish());
            EXPECT_FALSE(std::filesystem::is_symlink(path_));
            const auto f = readFile(path_);
            ASSERT_EQ(f.size(), 44 + kBlock);
            EXPECT_EQ(u32At(f, 40), kBlock);
            EXPECT_EQ(readFile(decoy), std::vector<uint8_t>({'d', 'e', 'c', 'o', 'y'}));
            EXPECT_FALSE(std::filesystem::exists(elsewhere));
            const bool hadName = c.existing || c.linkTo;
            auto now = folderEntries(dir_);
            if (!hadName) now.erase(std::find(now.begin(), now.end(), "track.wav"));
            EXPECT_EQ(now, entries);
            if (c.existing && !c.linkTo) {
                EXPECT_EQ(std::filesystem::status(path_).permissions(), std::filesystem::perms(0600));
            }
        }
    }
}

// A folder, a FIFO or a file we may not write at the name is refused before
// anything is written, and stays.
TEST_F(WavWriterTest, WhatCannotBeWrittenOverIsRefused)
{
    const std::string folder = dir_ + "/folder.wav", fifo = dir_ + "/fifo.wav", locked = dir_ + "/locked.wav";
    std::filesystem::create_directory(folder);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    { std::ofstream(locked) << "keep"; }
    std::filesystem::permissions(locked, std::filesystem::perms(0444));
    const bool root = geteuid() == 0;  // root may write any file
    for (const std::string& path : {folder, fifo, locked}) {
        if (path == locked && root) continue;
        SCOPED_TRACE(path);
        WavWriter w;
        EXPECT_FALSE(w.create(path));
        EXPECT_NE(w.lastError(), 0);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(folderEntries(dir_), (std::vector<std::string>{"fifo.wav", "folder.wav", "locked.wav"}));
}

// The folder removed while the file is written: the file has no name any
// more, which checkName() and the finish report as a failed write.
TEST_F(WavWriterTest, AFileWhoseFolderWasRemovedIsAFailedWrite)
{
    const std::string sub = dir_ + "/out";
    std::filesystem::create_directory(sub);
    WavWriter w;
    const auto b = block(5);
    ASSERT_TRUE(w.create(sub + "/track.wav") && w.writeProvisionalHeader() && w.appendBlock(b.data(), b.size()));
    EXPECT_TRUE(w.checkName());
    std::filesystem::remove_all(sub);
    EXPECT_TRUE(w.flushBlocks());  // the data still goes somewhere ...
    EXPECT_FALSE(w.checkName());   // ... but nowhere it could be found
    EXPECT_TRUE(w.writeFailed());
    EXPECT_EQ(w.lastError(), ENOENT);
    EXPECT_FALSE(w.finish());
    EXPECT_FALSE(std::filesystem::exists(sub));
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
    bool hasName() const override { return file_->hasName(); }
    bool close() override { return file_->close(); }
    void discard() override { file_->discard(); }
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

// A disk too full even for the header: the file never takes the name, so
// an older file there stays whole and no other name is left behind.
TEST_F(WavWriterTest, AFileWithoutItsHeaderNeverReplacesTheOldOne)
{
    { std::ofstream(path_) << "an older rip"; }
    WavWriter w([](const platform::FilePath& path, int& error) { return fullDiskAt(path, error, 10); });
    ASSERT_TRUE(w.create(path_));
    EXPECT_FALSE(w.writeProvisionalHeader());
    EXPECT_FALSE(w.finish());
    const auto f = readFile(path_);
    EXPECT_EQ(std::string(f.begin(), f.end()), "an older rip");
    EXPECT_EQ(folderEntries(dir_), std::vector<std::string>{"track.wav"});
}

// Blocks of every size go into the file in order and whole, across many
// pieces.
TEST_F(WavWriterTest, EveryBlockReachesTheFileInOrder)
{
    std::vector<uint8_t> expected;
    {
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
        ASSERT_TRUE(w.finish());
        const auto f = readFile(path_);
        ASSERT_EQ(f.size(), 44 + expected.size());
        EXPECT_EQ(u32At(f, 40), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), f.begin() + 44));
    }
}

}  // namespace
}  // namespace rilvane
