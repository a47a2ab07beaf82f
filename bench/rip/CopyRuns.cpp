#include "CopyRuns.h"

#include "DiscGenerator.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace rilvane::bench {

std::string makeOneTrackDrive(const std::string& stem, int64_t sectors, const std::string& target)
{
    makedisc::DiscPlan plan;
    plan.out = stem;
    plan.lengths = {sectors};
    makedisc::GeneratedDisc disc;
    std::string error;
    if (!makedisc::writeDisc(plan, disc, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return {};
    }
    setenv("RILVANE_VIRTUAL_DRIVES", (target + "=" + disc.cuePath).c_str(), 1);
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);
    return disc.binPaths.at(0);
}

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

bool runProgram(const std::vector<std::string>& argv, bool keepStderr)
{
    std::vector<char*> args;
    for (const std::string& s : argv) args.push_back(const_cast<char*>(s.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!keepStderr) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool syncFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

void settle(const std::string& image, const std::vector<std::string>& outputs)
{
    for (const std::string& path : outputs) unlink(path.c_str());
    sync();
    if (const int fd = open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC); fd >= 0) {
        [[maybe_unused]] const ssize_t done = write(fd, "3\n", 2);
        close(fd);
    }
    if (const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        std::vector<char> chunk(1 << 20);
        while (read(fd, chunk.data(), chunk.size()) > 0) {
        }
        close(fd);
    }
}

bool copyWithCp(const std::string& from, const std::string& to)
{
    return runProgram({"cp", from, to}) && syncFile(to);
}

bool copyWithDd(const std::string& from, const std::string& to, long blockBytes)
{
    return runProgram({"dd", "if=" + from, "of=" + to, "bs=" + std::to_string(blockBytes), "status=none"}) &&
           syncFile(to);
}

Spread spread(std::vector<double> v)
{
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

void CopyRuns::addSide(std::string name, std::function<bool()> run)
{
    sides_.push_back({std::move(name), std::move(run), {}});
}

bool CopyRuns::run(int rounds, const std::string& image, const std::vector<std::string>& outputs)
{
    const size_t count = sides_.size();
    for (int round = 0; round < rounds; ++round) {
        std::printf("  round %d:", round + 1);
        std::vector<double> times(count);
        for (size_t k = 0; k < count; ++k) {
            const size_t i = (static_cast<size_t>(round) + k) % count;
            settle(image, outputs);
            const auto start = Clock::now();
            const bool ok = sides_[i].run();
            times[i] = std::chrono::duration<double>(Clock::now() - start).count();
            if (!ok) {
                std::printf(" %s failed\n", sides_[i].name.c_str());
                return false;
            }
        }
        for (size_t i = 0; i < count; ++i) {
            sides_[i].seconds.push_back(times[i]);
            std::printf(" %s %.3f s%s", sides_[i].name.c_str(), times[i], i + 1 < count ? "," : "\n");
        }
        std::fflush(stdout);
    }
    for (const std::string& path : outputs) unlink(path.c_str());
    return true;
}

const CopyRuns::Side* CopyRuns::find(const std::string& name) const
{
    for (const Side& s : sides_)
        if (s.name == name) return &s;
    return nullptr;
}

void CopyRuns::print(const std::string& side, const std::vector<std::string>& references) const
{
    for (const Side& s : sides_) {
        const Spread t = spread(s.seconds);
        std::printf("%-22s n=%zu  median %.3f s  (%.3f–%.3f)\n", s.name.c_str(), s.seconds.size(), t.median, t.low,
                    t.high);
    }
    const Side* mine = find(side);
    for (const std::string& name : references) {
        const Side* other = find(name);
        if (!mine || !other || other->seconds.size() != mine->seconds.size()) continue;
        std::vector<double> ratios;
        for (size_t i = 0; i < mine->seconds.size(); ++i) ratios.push_back(mine->seconds[i] / other->seconds[i]);
        const Spread r = spread(ratios);
        const std::string label = side + " / " + name;
        std::printf("%-22s median %.2f  (%.2f–%.2f)\n", label.c_str(), r.median, r.low, r.high);
    }
}

}  // namespace rilvane::bench
