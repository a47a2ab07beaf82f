// ShellExecuteA hands the address to xdg-open without waiting for it.

#include "ScopedEnv.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using rilvane::platform::test::ScopedEnv;
using rilvane::platform::test::TempDir;

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Polls until the condition holds; gives up after a generous bound so that a
// broken build fails instead of hanging (no timing is asserted).
template <typename Condition>
bool eventually(Condition condition)
{
    for (int i = 0; i < 2000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// Children of this process, running or waiting to be reaped.
int childProcesses()
{
    int children = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string stat = readFile(entry.path().string() + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state, parent;
        fields >> state >> parent;
        if (parent == self) ++children;
    }
    return children;
}

class ShellExecuteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string script = dir / "xdg-open";
        std::ofstream out(script);
        // Blocks until released, so the test sees that the caller did not wait.
        out << "#!/bin/sh\n"
               "printf '%s|' \"$@\" > '"
            << (dir / "args.tmp") << "'\nmv '" << (dir / "args.tmp") << "' '" << (dir / "args")
            << "'\nwhile [ ! -e '" << (dir / "release") << "' ] && [ -d '" << dir.path().string()
            << "' ]; do sleep 0.01; done\n";
        out.close();
        chmod(script.c_str(), 0755);
        const char* oldPath = std::getenv("PATH");
        path.emplace("PATH", dir.path().string() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));
    }

    TempDir dir;
    std::optional<ScopedEnv> path;
};

TEST_F(ShellExecuteTest, OpenRunsXdgOpenWithTheAddressAndDoesNotWait)
{
    HINSTANCE result = ShellExecuteA(nullptr, "open", "http://www.example.org/", nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<intptr_t>(result), 32);
    // We are back while xdg-open still waits for its release file.
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(dir / "args"); }));
    EXPECT_EQ(readFile(dir / "args"), "http://www.example.org/|");
    std::ofstream(dir / "release").close();
    // Once it has finished, nothing is left of it: it was reaped, no zombie.
    EXPECT_TRUE(eventually([] { return childProcesses() == 0; }));
}

TEST_F(ShellExecuteTest, OnlyOpenIsKnownAndOddTargetsAreRefused)
{
    EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "print", "x", nullptr, nullptr, 0)), SE_ERR_NOASSOC);
    EXPECT_LE(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", "--help", nullptr, nullptr, 0)), 32);
    EXPECT_LE(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, 0)), 32);
    EXPECT_FALSE(std::filesystem::exists(dir / "args"));
}

TEST(ShellExecute, MissingXdgOpenIsAnError)
{
    TempDir empty;
    ScopedEnv path("PATH", empty.path().string());
    EXPECT_LE(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", "http://x/", nullptr, nullptr, 0)), 32);
}

}  // namespace
