// Ripping a long track from a virtual drive without delays, against copying
// the same bytes, in rounds of paired runs.
//
//   rilvane-rip-bench [--sectors N] [--pairs N] [--dir DIR] [--dd-bs BYTES]
//
// The disc image is written before any clock starts; every side reads the
// same image and writes into the same folder (DIR, default the temporary
// folder), so all meet the same file system. Before every run the outputs are
// removed, dirty data is written out, the page cache emptied where allowed
// and the image read once (see CopyRuns.h). The sides:
//   rip  the rip session in this process, without a window; it syncs its
//        WAV file before it reports the rip finished;
//   cp   `cp IMAGE copy.bin`, then copy.bin synced;
//   dd   `dd bs=BYTES` (default 23,520: the rip's block), then synced: a copy
//        through user space in the pieces the drive delivers, for context.
// Each clock covers one side's work from start to its synced output. The
// rounds rotate which side goes first. Printed: every round, then the median
// and range of each side and of the rip's ratio to each copy.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "CopyRuns.h"
#include "drive/LogSink.h"
#include "drive/SessionWindow.h"
#include "rip/RipSession.h"

namespace {

// A rip needs a log and a position field to start from; nothing is shown.
class BenchWindow : public rilvane::SessionWindow, public rilvane::LogSink {
public:
    int32_t positionValue() const override { return 0; }
    rilvane::LogSink& log() override { return *this; }
    void logLine(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

bool rip(rilvane::TransportMode mode, const std::string& to)
{
    BenchWindow window;
    rilvane::ReadingState state;
    rilvane::DriveRecord drive;
    drive.letter = 'D';
    rilvane::RipSession(window, state, drive, mode, 1).run(to);
    bool clean = window.lines.size() == 4;
    for (const auto& l : window.lines) {
        if (l.rfind("Fehler", 0) == 0 || l.rfind("Konnte", 0) == 0) {
            std::printf("unexpected: %s\n", l.c_str());
            clean = false;
        }
    }
    return clean;
}

int usage()
{
    std::fprintf(stderr, "usage: rilvane-rip-bench [--sectors N] [--pairs N] [--dir DIR] [--dd-bs BYTES]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    long long sectors = 40000;
    int pairs = 5;
    long ddBlock = 23520;
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
        } else if (arg == "--dd-bs") {
            ddBlock = std::atol(value.c_str());
        } else {
            return usage();
        }
    }
    if (sectors < 10 || sectors > 400000 || pairs < 1 || pairs > 100 || ddBlock < 512) return usage();

    std::string tmpl = base + "/rilvane-rip-bench-XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        std::perror(tmpl.c_str());
        return 1;
    }
    const std::string dir = tmpl;
    const std::string image = rilvane::bench::makeOneTrackDrive(dir + "/LONG", sectors, "D");
    if (image.empty()) return 1;
    const std::string copyPath = dir + "/copy.bin";
    const std::string wavPath = dir + "/track.wav";

    const double megabytes = static_cast<double>(sectors) * 2352 / 1e6;
    std::printf("track: %lld sectors (%.1f min), %.1f MB, into %s, %d rounds, every output synced\n", sectors,
                static_cast<double>(sectors) / 75 / 60, megabytes, dir.c_str(), pairs);
    const std::string ddName = "dd bs=" + std::to_string(ddBlock);
    rilvane::bench::CopyRuns runs;
    runs.addSide("rip", [&] { return rip(mode, wavPath); });
    runs.addSide("cp", [&] { return rilvane::bench::copyWithCp(image, copyPath); });
    runs.addSide(ddName, [&] { return rilvane::bench::copyWithDd(image, copyPath, ddBlock); });
    const bool ok = runs.run(pairs, image, {copyPath, wavPath});
    if (ok) runs.print("rip", {"cp", ddName});
    else std::printf("a run failed\n");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
}
