// rilvane-rip against cp: rescuing a whole disc from a virtual drive
// without delays, beside copying the same bytes with cp, measured the same
// way in paired runs. Both sides are whole programs started the same way;
// the disc image is read into the page cache before any clock starts; both
// write into the same folder, and both clocks stop only once the output is
// on the disk: rilvane-rip syncs each finished WAV file itself, the copy is
// followed by `sync FILE` inside its clock. Outputs are removed between
// runs, outside the clocks.
//
//   rilvane-riptool-bench [SECTORS [RUNS]]    default 333000 sectors (74 min), 5 runs
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DiscGenerator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs a program with stdout and stderr to /dev/null; its wall time in
// seconds, or a negative number when it did not exit with `expectedExit`.
double timed(const std::vector<std::string>& command, int expectedExit)
{
    std::vector<char*> argv;
    for (const std::string& s : command) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == expectedExit ? seconds : -1;
}

struct Spread {
    double median, low, high;
};

Spread spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

}  // namespace

int main(int argc, char** argv)
{
    const int64_t sectors = argc > 1 ? std::atoll(argv[1]) : 333000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (sectors < 1 || runs < 1) {
        std::fprintf(stderr, "usage: rilvane-riptool-bench [SECTORS [RUNS]]\n");
        return 2;
    }
    const std::string tool = (fs::path(argv[0]).parent_path() / "rilvane-rip").string();
    char tmpl[] = "/tmp/rilvane-riptool-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl);

    rilvane::makedisc::DiscPlan plan;
    plan.out = dir + "/disc/WHOLE";
    plan.lengths = {sectors};
    rilvane::makedisc::GeneratedDisc disc;
    std::string error;
    if (!rilvane::makedisc::writeDisc(plan, disc, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string bin = disc.binPaths.at(0);
    setenv("RILVANE_VIRTUAL_DRIVES", ("E=" + disc.cuePath).c_str(), 1);
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);

    const std::string out = dir + "/out";
    fs::create_directories(out);
    std::vector<double> copyTimes, ripTimes, ratios;
    for (int i = 0; i < runs; ++i) {
        // The image in the page cache, the folder empty, before each pair.
        if (timed({"cat", bin}, 0) < 0) return 1;
        fs::remove_all(out);
        fs::create_directories(out);
        const auto copyStart = Clock::now();
        const bool copied = timed({"cp", bin, out + "/copy.bin"}, 0) >= 0 && timed({"sync", out + "/copy.bin"}, 0) >= 0;
        const double copy = copied ? std::chrono::duration<double>(Clock::now() - copyStart).count() : -1;
        fs::remove(out + "/copy.bin");
        const double rip = timed({tool, "--out", out, "--name", "track%02d.wav"}, 0);
        if (copy < 0 || rip < 0) {
            std::fprintf(stderr, "run %d failed (cp %.3f, rilvane-rip %.3f)\n", i + 1, copy, rip);
            fs::remove_all(dir);
            return 1;
        }
        copyTimes.push_back(copy);
        ripTimes.push_back(rip);
        ratios.push_back(rip / copy);
    }
    fs::remove_all(dir);

    const double megabytes = static_cast<double>(sectors) * 2352 / 1e6;
    const Spread c = spread(copyTimes), r = spread(ripTimes), q = spread(ratios);
    std::printf("disc: %lld sectors (%.1f min), %.1f MB; %d paired runs, output synced on both sides\n",
                static_cast<long long>(sectors), static_cast<double>(sectors) / 75 / 60, megabytes, runs);
    std::printf("cp:          median %.3f s  (%.3f - %.3f)  %.0f MB/s\n", c.median, c.low, c.high, megabytes / c.median);
    std::printf("rilvane-rip: median %.3f s  (%.3f - %.3f)  %.0f MB/s\n", r.median, r.low, r.high, megabytes / r.median);
    std::printf("rilvane-rip / cp time ratio: median %.2f  (%.2f - %.2f)\n", q.median, q.low, q.high);
    return 0;
}
