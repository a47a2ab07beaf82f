// Reading and appending to files by name without being made to wait, to
// fill the memory or to write elsewhere; and the lock that keeps a second
// run out of a folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/FolderLock.h"
#include "platform/OwnFiles.h"

namespace rilvane::platform {
namespace {

namespace fs = std::filesystem;

struct Folder {
    std::string path;
    Folder()
    {
        char tmpl[] = "/tmp/rilvane-ownfiles-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~Folder() { fs::remove_all(path); }
    FilePath at(const std::string& name) const { return FilePath::fromUtf8(path + "/" + name); }
};

void writeText(const FilePath& path, const std::string& text)
{
    std::ofstream(path.utf8(), std::ios::binary) << text;
}

TEST(OwnFilesTest, ReadsOnlyRegularFilesWithinTheLimit)
{
    Folder f;
    writeText(f.at("map"), "0123456789");
    std::string bytes;
    EXPECT_FALSE(readRegularFile(f.at("map"), 10, bytes));
    EXPECT_EQ(bytes, "0123456789");
    // One byte over the limit: refused, nothing kept.
    FileProblem p = readRegularFile(f.at("map"), 9, bytes);
    EXPECT_TRUE(p.tooLarge);
    EXPECT_TRUE(bytes.empty());

    // A FIFO without a writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo(f.at("fifo").utf8().c_str(), 0644), 0);
    EXPECT_EQ(readRegularFile(f.at("fifo"), 1 << 20, bytes).kind, FileKind::Fifo);
    EXPECT_EQ(readRegularFile(FilePath::fromUtf8(f.path), 1 << 20, bytes).kind, FileKind::Folder);
    // An endless device is refused before a byte is read.
    EXPECT_EQ(readRegularFile(FilePath::fromUtf8("/dev/zero"), 1 << 20, bytes).kind, FileKind::Device);
    p = readRegularFile(f.at("none"), 1 << 20, bytes);
    EXPECT_EQ(p.kind, FileKind::Missing);
    EXPECT_EQ(p.error, ENOENT);

    // A link to /dev/zero is refused as the device it names, or as a link.
    fs::create_symlink("/dev/zero", f.path + "/zero");
    EXPECT_EQ(readRegularFile(f.at("zero"), 1 << 20, bytes).kind, FileKind::Device);
    fs::create_symlink(f.path + "/map", f.path + "/link");
    EXPECT_FALSE(readRegularFile(f.at("link"), 1 << 20, bytes));
    EXPECT_EQ(readRegularFile(f.at("link"), 1 << 20, bytes, Links::Refuse).kind, FileKind::Link);
}

TEST(OwnFilesTest, AppendsNeverThroughALinkOrToAFifo)
{
    Folder f;
    writeText(f.at("elsewhere"), "theirs\n");
    fs::create_symlink(f.path + "/elsewhere", f.path + "/log");
    FileProblem p;
    EXPECT_EQ(openAppendFile(f.at("log"), p), nullptr);
    EXPECT_EQ(p.kind, FileKind::Link);
    fs::create_symlink(f.path + "/missing", f.path + "/dangling");
    EXPECT_EQ(openAppendFile(f.at("dangling"), p), nullptr);
    EXPECT_FALSE(fs::exists(f.path + "/missing"));
    std::ifstream in(f.path + "/elsewhere");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "theirs\n");

    ASSERT_EQ(::mkfifo(f.at("fifo").utf8().c_str(), 0644), 0);
    EXPECT_EQ(openAppendFile(f.at("fifo"), p), nullptr);
    EXPECT_EQ(p.kind, FileKind::Fifo);
    EXPECT_EQ(openAppendFile(FilePath::fromUtf8(f.path), p), nullptr);
    EXPECT_EQ(p.kind, FileKind::Folder);

    auto file = openAppendFile(f.at("new"), p);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->append("a\n", 2));
    EXPECT_TRUE(file->close());
    file = openAppendFile(f.at("new"), p);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->append("b\n", 2));
    EXPECT_TRUE(file->close());
    std::ifstream again(f.path + "/new");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "a\nb\n");
}

TEST(FolderLockTest, OneHolderAtATimeAndNoneAfterItsEnd)
{
    Folder f;
    FolderLock::Outcome outcome{};
    long holder = 0;
    int error = 0;
    auto first = FolderLock::take(f.at("disc.lock"), outcome, holder, error);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(outcome, FolderLock::Outcome::Locked);
    EXPECT_EQ(FolderLock::take(f.at("disc.lock"), outcome, holder, error), nullptr);
    EXPECT_EQ(outcome, FolderLock::Outcome::Busy);
    EXPECT_EQ(holder, static_cast<long>(::getpid()));
    first.reset();
    EXPECT_FALSE(fs::exists(f.path + "/disc.lock"));

    // A holder killed without a word leaves its file, but not its lock.
    const pid_t child = fork();
    if (child == 0) {
        FolderLock::Outcome o{};
        long h = 0;
        int e = 0;
        auto held = FolderLock::take(f.at("disc.lock"), o, h, e);
        ::kill(::getpid(), SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(fs::exists(f.path + "/disc.lock"));
    auto after = FolderLock::take(f.at("disc.lock"), outcome, holder, error);
    EXPECT_NE(after, nullptr);
    EXPECT_EQ(outcome, FolderLock::Outcome::Locked);

    // A link at the lock's name is not followed.
    Folder g;
    fs::create_symlink(f.path + "/target", g.path + "/disc.lock");
    EXPECT_EQ(FolderLock::take(g.at("disc.lock"), outcome, holder, error), nullptr);
    EXPECT_EQ(outcome, FolderLock::Outcome::Failed);
    EXPECT_FALSE(fs::exists(f.path + "/target"));
}

}  // namespace
}  // namespace rilvane::platform
