// Ripping a long track from a virtual drive without delays, against copying
// the same bytes with cp, in paired runs.
//
//   rilvane-rip-bench [--sectors N] [--pairs N] [--dir DIR]
//
// The disc image is written and synced before any clock starts; both sides
// read the same image and write into the same folder (DIR, default the
// temporary folder), so they meet the same file system. Before every run the
// previous output is removed, dirty data is written out and, where allowed,
// the page cache is emptied, then the image is read once so that both sides
// start from the same warm cache. Each clock covers only the copy or the rip
// (the rip session in this process, without a window; cp as its own
// process). The pairs alternate which side goes first. Printed: every pair,
// then the median and the range of both times and of their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "DiscGenerator.h"
#include "drive/LogSink.h"
#include "drive/SessionWindow.h"
#include "rip/RipSession.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Just enough window for a rip: no pump, no display.
class BenchWindow : public rilvane::SessionWindow, public rilvane::LogSink {
public:
    void processEvents() override {}
    int32_t currentSector() const override { return sector_; }
    void setCurrentSector(int32_t s) override { sector_ = s; }
    bool stopRequested() const override { return stop_; }
    void setStopRequested(bool s) override { stop_ = s; }
    int32_t positionValue() const override { return 0; }
    void showPosition(int32_t) override {}
    bool karaokeChecked() const override { return false; }
    rilvane::LogSink& log() override { return *this; }
    rilvane::TrackTable& trackTable() override { return table_; }
    void drawWaveform(const uint8_t*) override {}
    void logLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;

private:
    int32_t sector_ = 0;
    bool stop_ = false;
    rilvane::TrackTable table_;
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes out dirty data, empties the page cache where allowed, and reads the
// image once, so every run starts from the same state.
void settle(const std::string& image)
{
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

bool copyWithCp(const std::string& from, const std::string& to, double& seconds)
{
    const char* argv[] = {"cp", from.c_str(), to.c_str(), nullptr};
    pid_t child = 0;
    const auto start = Clock::now();
    if (posix_spawnp(&child, "cp", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    seconds = secondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool rip(rilvane::TransportMode mode, const std::string& to, double& seconds)
{
    BenchWindow window;
    rilvane::DriveRecord drive;
    drive.letter = 'D';
    const auto start = Clock::now();
    rilvane::RipSession(window, drive, mode, 1).run(to);
    seconds = secondsSince(start);
    bool clean = window.lines.size() == 4;
    for (const auto& l : window.lines) {
        if (l.rfind("Fehler", 0) == 0 || l.rfind("Konnte", 0) == 0) {
            std::printf("unexpected: %s\n", l.c_str());
            clean = false;
        }
    }
    return clean;
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

void show(const char* what, const std::vector<double>& values, const char* unit)
{
    const Spread s = spread(values);
    std::printf("%-14s %.3f%s (%.3f–%.3f)\n", what, s.median, unit, s.low, s.high);
}

int usage()
{
    std::fprintf(stderr, "usage: rilvane-rip-bench [--sectors N] [--pairs N] [--dir DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    long long sectors = 40000;
    int pairs = 5;
    std::string base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const rilvane::TransportMode mode = rilvane::TransportMode::Spti;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return usage();
        const std::string value = argv[++i];
        if (arg == "--sectors") {
            sectors = std::atoll(value.c_str());
        } else if (arg == "--pairs") {
            pairs = std::atoi(value.c_str());
        } else if (arg == "--dir") {
            base = value;
        } else {
            return usage();
        }
    }
    if (sectors < 10 || sectors > 400000 || pairs < 1 || pairs > 100) return usage();

    std::string tmpl = base + "/rilvane-rip-bench-XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        std::perror(tmpl.c_str());
        return 1;
    }
    const std::string dir = tmpl;
    rilvane::makedisc::DiscPlan plan;
    plan.out = dir + "/LONG";
    plan.lengths = {sectors};
    rilvane::makedisc::GeneratedDisc disc;
    std::string error;
    if (!rilvane::makedisc::writeDisc(plan, disc, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string image = disc.binPaths[0];
    setenv("RILVANE_VIRTUAL_DRIVES", ("D=" + disc.cuePath).c_str(), 1);
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);
    const std::string copyPath = dir + "/copy.bin";
    const std::string wavPath = dir + "/track.wav";

    const double megabytes = static_cast<double>(sectors) * 2352 / 1e6;
    std::printf("track: %lld sectors, %.1f MB, into %s, %d pairs\n", sectors, megabytes, dir.c_str(), pairs);
    std::vector<double> cpTimes, ripTimes, ratios;
    bool ok = true;
    for (int pair = 0; pair < pairs && ok; ++pair) {
        double cpSeconds = 0, ripSeconds = 0;
        for (int side = 0; side < 2 && ok; ++side) {
            const bool cpTurn = (side == 0) == (pair % 2 == 0);
            unlink(copyPath.c_str());
            unlink(wavPath.c_str());
            settle(image);
            ok = cpTurn ? copyWithCp(image, copyPath, cpSeconds) : rip(mode, wavPath, ripSeconds);
        }
        if (!ok) break;
        cpTimes.push_back(cpSeconds);
        ripTimes.push_back(ripSeconds);
        ratios.push_back(ripSeconds / cpSeconds);
        std::printf("  pair %d: cp %.3f s, rip %.3f s, ratio %.2f\n", pair + 1, cpSeconds, ripSeconds,
                    ripSeconds / cpSeconds);
    }
    if (ok) {
        show("cp:", cpTimes, " s");
        show("rip:", ripTimes, " s");
        show("rip / cp:", ratios, "");
    } else {
        std::printf("a run failed\n");
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    return ok ? 0 : 1;
}
