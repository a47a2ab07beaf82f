// Reading a long run of blocks from a delay-free virtual drive, through the
// pass-through and through the ASPI layer, against dd reading the same bytes
// of the disc image in the same block size.
//
//   rilvane-readpath-bench [BLOCKS [RUNS]] [--probe PATH]
//
// Each run times three processes one after another: dd bs=23520 of the
// image, rilvane-probe --read over a drive letter and rilvane-probe --read
// over aspi:0:0, in an order that rotates from run to run. Before each clock
// starts the whole image is read once, so every side finds it in the page
// cache. A side's figure is the wall time from starting the process to
// reaping it, and the CPU time (user + system) of that process alone. The
// probe's figure includes everything a run of the program's read loop needs:
// start-up, loading the libraries, finding the drive, the table of contents
// and the reads. Prints the median and min-max of each side, and the ratios
// pass-through / dd and ASPI / pass-through as medians (min-max) of the
// ratios within each run.
#include "DiscGenerator.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kSectorsPerBlock = 10;
constexpr int64_t kBlockBytes = kSectorsPerBlock * 2352;

struct Timing {
    double wall = 0;
    double cpu = 0;
};

struct Side {
    const char* name;
    std::vector<std::string> argv;
    std::vector<std::string> environment;  // added to the bench's own
    std::string expectedOutput;            // a line the process must print, empty: none
    std::vector<Timing> timings;
};

// Reads the whole file once so that the page cache holds it.
bool preRead(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<char> buffer(1 << 20);
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
    }
    ::close(fd);
    return got == 0;
}

// Starts the process with its output in a file, waits for it and takes its
// own resource use. False when it could not run or did not end with 0.
bool timeProcess(Side& side, const std::string& outputPath)
{
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    environment.insert(environment.end(), side.environment.begin(), side.environment.end());
    std::vector<char*> args, env;
    for (auto& a : side.argv) args.push_back(a.data());
    args.push_back(nullptr);
    for (auto& e : environment) env.push_back(e.data());
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const auto start = Clock::now();
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        std::fprintf(stderr, "%s: cannot start %s: %s\n", side.name, args[0], std::strerror(failed));
        return false;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: ended with status %d\n", side.name, status);
        return false;
    }
    if (!side.expectedOutput.empty()) {
        std::ifstream in(outputPath);
        std::stringstream text;
        text << in.rdbuf();
        if (text.str().find(side.expectedOutput) == std::string::npos) {
            std::fprintf(stderr, "%s: expected \"%s\", got:\n%s", side.name, side.expectedOutput.c_str(),
                         text.str().c_str());
            return false;
        }
    }
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    side.timings.push_back({wall, seconds(usage.ru_utime) + seconds(usage.ru_stime)});
    return true;
}

struct Spread {
    double median = 0, min = 0, max = 0;
};

Spread spreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

std::vector<double> walls(const Side& side)
{
    std::vector<double> result;
    for (const Timing& t : side.timings) result.push_back(t.wall);
    return result;
}

std::vector<double> cpus(const Side& side)
{
    std::vector<double> result;
    for (const Timing& t : side.timings) result.push_back(t.cpu);
    return result;
}

std::vector<double> ratios(const Side& top, const Side& bottom)
{
    std::vector<double> result;
    for (std::size_t i = 0; i < top.timings.size(); ++i) result.push_back(top.timings[i].wall / bottom.timings[i].wall);
    return result;
}

std::string besideThisProgram(const std::string& name)
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? name : (self.parent_path() / name).string();
}

int usage()
{
    std::fprintf(stderr, "usage: rilvane-readpath-bench [BLOCKS [RUNS]] [--probe PATH]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    int64_t blocks = 33300;
    int runs = 11;
    std::string probe = besideThisProgram("rilvane-probe");
    std::vector<std::string> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--probe" && i + 1 < argc)
            probe = argv[++i];
        else if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos && numbers.size() < 2)
            numbers.push_back(arg);
        else
            return usage();
    }
    if (!numbers.empty()) blocks = std::atoll(numbers[0].c_str());
    if (numbers.size() > 1) runs = std::atoi(numbers[1].c_str());
    if (blocks < 1 || blocks > 99'000 || runs < 1 || runs > 99) return usage();

    char folderTemplate[] = "/tmp/rilvane-readpath-bench-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) return 1;
    const std::string folder = folderTemplate;
    rilvane::makedisc::DiscPlan plan;
    plan.out = folder + "/LONG";
    plan.lengths = {blocks * kSectorsPerBlock};
    rilvane::makedisc::GeneratedDisc disc;
    std::string error;
    if (!rilvane::makedisc::writeDisc(plan, disc, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string image = disc.binPaths.front();
    const std::string output = folder + "/output.txt";
    const std::string readArgs[] = {"--read", "0", "0", std::to_string(blocks)};
    const std::string allGood = std::to_string(blocks) + " gute Blöcke, 0 fehlerhafte Blöcke";

    std::array<Side, 3> sides{{
        {"dd bs=23520",
         {"dd", "if=" + image, "of=/dev/null", "bs=" + std::to_string(kBlockBytes), "count=" + std::to_string(blocks),
          "status=none"},
         {},
         "",
         {}},
        {"pass-through", {probe, readArgs[0], readArgs[1], readArgs[2], readArgs[3]},
         {"RILVANE_NO_REAL_DRIVES=1", "RILVANE_VIRTUAL_DRIVES=D=" + disc.cuePath}, allGood, {}},
        {"ASPI", {probe, readArgs[0], readArgs[1], readArgs[2], readArgs[3]},
         {"RILVANE_NO_REAL_DRIVES=1", "RILVANE_VIRTUAL_DRIVES=aspi:0:0=" + disc.cuePath}, allGood, {}},
    }};

    bool ok = true;
    for (int run = 0; run < runs && ok; ++run)
        for (std::size_t k = 0; k < sides.size() && ok; ++k) {
            Side& side = sides[(k + static_cast<std::size_t>(run)) % sides.size()];
            ok = preRead(image) && timeProcess(side, output);
        }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!ok) return 1;

    std::printf("read path: %lld blocks of %lld bytes (%.1f MB) from sector 0, %d paired runs,\n"
                "the image read into the page cache before each clock; wall time from start to exit\n"
                "of each process, CPU time (user + system) of that process alone\n\n",
                static_cast<long long>(blocks), static_cast<long long>(kBlockBytes),
                static_cast<double>(blocks * kBlockBytes) / 1e6, runs);
    std::printf("%-14s %12s %20s %12s\n", "", "wall median", "min - max", "CPU median");
    for (const Side& side : sides) {
        const Spread wall = spreadOf(walls(side));
        const Spread cpu = spreadOf(cpus(side));
        std::printf("%-14s %10.3f s %9.3f - %.3f s %10.3f s\n", side.name, wall.median, wall.min, wall.max, cpu.median);
    }
    const Spread passThrough = spreadOf(ratios(sides[1], sides[0]));
    const Spread aspi = spreadOf(ratios(sides[2], sides[1]));
    std::printf("\npass-through / dd:   %.2f (%.2f - %.2f)\n", passThrough.median, passThrough.min, passThrough.max);
    std::printf("ASPI / pass-through: %.2f (%.2f - %.2f)\n", aspi.median, aspi.min, aspi.max);
    return 0;
}
