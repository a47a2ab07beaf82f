// Ripping a long track from a virtual drive without delays, against copying
// the same bytes with cp, in one run. Prints both times and their ratio; the
// read loop and the WAV writer should add almost nothing to the copy.
//
//   rilvane-rip-bench [SECTORS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "DiscGenerator.h"
#include "drive/LogSink.h"
#include "drive/SessionWindow.h"
#include "rip/RipSession.h"

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

}  // namespace

int main(int argc, char** argv)
{
    const int64_t sectors = argc > 1 ? std::atoll(argv[1]) : 40000;
    char tmpl[] = "/tmp/rilvane-rip-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl);

    rilvane::makedisc::DiscPlan plan;
    plan.out = dir + "/LONG";
    plan.lengths = {sectors};
    rilvane::makedisc::GeneratedDisc disc;
    std::string error;
    if (!rilvane::makedisc::writeDisc(plan, disc, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    setenv("RILVANE_VIRTUAL_DRIVES", ("D=" + disc.cuePath).c_str(), 1);
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);

    // Warm the page cache for both runs alike.
    if (std::system(("cat '" + disc.binPaths[0] + "' > /dev/null").c_str()) != 0) return 1;

    auto start = Clock::now();
    if (std::system(("cp '" + disc.binPaths[0] + "' '" + dir + "/copy.bin' && sync -f '" + dir + "'").c_str()) != 0)
        return 1;
    const double copySeconds = secondsSince(start);

    BenchWindow window;
    rilvane::DriveRecord drive;
    drive.letter = 'D';
    start = Clock::now();
    rilvane::RipSession(window, drive, rilvane::TransportMode::Spti, 1).run(dir + "/track.wav");
    if (std::system(("sync -f '" + dir + "'").c_str()) != 0) return 1;
    const double ripSeconds = secondsSince(start);

    const double megabytes = static_cast<double>(sectors) * 2352 / 1e6;
    std::printf("track: %lld sectors, %.1f MB\n", static_cast<long long>(sectors), megabytes);
    std::printf("cp:   %.3f s (%.0f MB/s)\n", copySeconds, megabytes / copySeconds);
    std::printf("rip:  %.3f s (%.0f MB/s)\n", ripSeconds, megabytes / ripSeconds);
    std::printf("rip / cp time ratio: %.2f\n", ripSeconds / copySeconds);
    for (const auto& l : window.lines)
        if (l.rfind("Fehler", 0) == 0) std::printf("unexpected: %s\n", l.c_str());
    std::system(("rm -rf '" + dir + "'").c_str());
    return window.lines.size() == 4 ? 0 : 1;
}
