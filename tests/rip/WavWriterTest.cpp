#include "rip/WavHeader.h"
#include "rip/WavWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
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
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
    std::string path_;
};

TEST(WavHeader, FinalHeaderBytes)
{
    const auto h = WavHeader::make(23556, 23520).bytes();
    const uint8_t expected[44] = {'R', 'I', 'F', 'F', 0x04, 0x5C, 0x00, 0x00, 'W', 'A', 'V', 'E',
                                  'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0,
                                  0x10, 0xB1, 0x02, 0x00, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0xE0, 0x5B, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(h.begin(), h.end()), std::vector<uint8_t>(expected, expected + 44));
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

// A file system that fills up in the middle of a block: the writer cuts the
// partial block off, refuses the rest, and the finished header describes
// exactly the whole blocks that are in the file. The size limit is set in a
// child process so the test process itself is not affected.
TEST_F(WavWriterTest, DiskFullMidBlockLeavesAConsistentFile)
{
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = 44 + 2 * kBlock + 1000;
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(10);
        WavWriter w;
        if (!w.create(path_) || !w.writeProvisionalHeader()) _exit(11);
        const auto b = block(9);
        if (!w.appendBlock(b.data(), b.size())) _exit(12);
        if (!w.appendBlock(b.data(), b.size())) _exit(13);
        if (w.appendBlock(b.data(), b.size())) _exit(14);   // does not fit
        if (!w.writeFailed() || w.lastError() == 0) _exit(15);
        if (w.appendBlock(b.data(), b.size())) _exit(16);   // refused after a failure
        if (!w.finish()) _exit(17);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const auto f = readFile(path_);
    ASSERT_EQ(f.size(), 44 + 2 * kBlock);
    EXPECT_EQ(u32At(f, 4), 36 + 2 * kBlock);
    EXPECT_EQ(u32At(f, 40), 2 * kBlock);
}

}  // namespace
}  // namespace rilvane
