// rilvane-rip against cp: rescuing a whole disc from a virtual drive
// without delays, beside copying the same bytes, measured the same way in
// rounds of paired runs (see CopyRuns.h). Every side is a program started
// the same way and writes into the same folder; each clock ends once the
// output is on the disk: rilvane-rip syncs each finished WAV file itself,
// a copy is followed by a sync of the copied file inside its clock. The
// sides:
//   rilvane-rip  the whole program, `--out DIR`;
//   cp           `cp IMAGE DIR/copy.bin`, then synced;
//   dd           `dd bs=23520` (the rip's block), then synced: a copy through
//                user space in the pieces the drive delivers, for context.
//
//   rilvane-riptool-bench [SECTORS [ROUNDS]]    default 333000 sectors (74 min), 5 rounds
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CopyRuns.h"

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    const int64_t sectors = argc > 1 ? std::atoll(argv[1]) : 333000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (sectors < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: rilvane-riptool-bench [SECTORS [ROUNDS]]\n");
        return 2;
    }
    const std::string tool = (fs::path(argv[0]).parent_path() / "rilvane-rip").string();
    char tmpl[] = "/tmp/rilvane-riptool-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror(tmpl);
        return 1;
    }
    const std::string dir = tmpl;

    const std::string bin = rilvane::bench::makeOneTrackDrive(dir + "/disc/WHOLE", sectors, "E");
    if (bin.empty()) return 1;

    const std::string out = dir + "/out";
    fs::create_directories(out);
    const std::string copy = out + "/copy.bin";
    const std::string wav = out + "/track01.wav";
    const double megabytes = static_cast<double>(sectors) * 2352 / 1e6;
    std::printf("disc: %lld sectors (%.1f min), %.1f MB, %d rounds, every output synced\n",
                static_cast<long long>(sectors), static_cast<double>(sectors) / 75 / 60, megabytes, rounds);

    rilvane::bench::CopyRuns runs;
    runs.addSide("rilvane-rip", [&] { return rilvane::bench::runProgram({tool, "--out", out}, false); });
    runs.addSide("cp", [&] { return rilvane::bench::copyWithCp(bin, copy); });
    runs.addSide("dd bs=23520", [&] { return rilvane::bench::copyWithDd(bin, copy, 23520); });
    // The rescue keeps a working copy and its map beside the track file:
    // each round starts a new rescue.
    const bool ok = runs.run(rounds, bin,
                             {copy, wav, out + "/disc.bin", out + "/disc.map", out + "/disc.cue", out + "/tracks.cue", out + "/disc.log"});
    if (ok) runs.print("rilvane-rip", {"cp", "dd bs=23520"});
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
