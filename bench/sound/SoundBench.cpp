// rilvane-sound-bench SECONDS
//
// Plays a test tone through the program's own sound path (the DirectSound
// library loaded as "DSound.dll", the sound output and its half-buffer
// handoff) and the same bytes with aplay, both to ALSA's default device,
// each for SECONDS and for twice as long. It prints the processor time of
// each run, from opening the device to closing it, and the processor time
// per extra second of audio (the difference of the two runs, which leaves
// out start-up costs such as aplay's own process start and ALSA's
// configuration), and the feeder/aplay ratio of the latter. Point ALSA at a
// paced device first (see feeder-vs-aplay.sh), or the numbers say nothing
// about real-time playback.
#include "playback/DSound.h"
#include "playback/SoundOutput.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kBytesPerSecond = 176400.0;

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A 440 Hz tone on the left and 660 Hz on the right, half full scale, in
// whole staging buffers.
std::vector<uint8_t> tone(double seconds)
{
    const size_t buffers = static_cast<size_t>(std::ceil(seconds * kBytesPerSecond / rilvane::kStagingBytes));
    std::vector<uint8_t> bytes(buffers * rilvane::kStagingBytes);
    const double pi = std::acos(-1.0);
    for (size_t frame = 0; frame < bytes.size() / 4; ++frame) {
        const double t = static_cast<double>(frame) / 44100.0;
        const auto left = static_cast<int16_t>(16384 * std::sin(2 * pi * 440 * t));
        const auto right = static_cast<int16_t>(16384 * std::sin(2 * pi * 660 * t));
        bytes[frame * 4 + 0] = static_cast<uint8_t>(left & 0xFF);
        bytes[frame * 4 + 1] = static_cast<uint8_t>((left >> 8) & 0xFF);
        bytes[frame * 4 + 2] = static_cast<uint8_t>(right & 0xFF);
        bytes[frame * 4 + 3] = static_cast<uint8_t>((right >> 8) & 0xFF);
    }
    return bytes;
}

struct Measure {
    double cpu = 0;
    double wall = 0;
    double audio = 0;
};

bool playWithFeeder(const std::vector<uint8_t>& audio, Measure& m)
{
    const double cpu0 = processSeconds();
    const double wall0 = wallSeconds();
    rilvane::DSound library;
    rilvane::SoundOutput output;
    if (!output.setUp(library.DirectSoundCreate, nullptr)) {
        std::fprintf(stderr, "sound set-up failed (no DSound library or no ALSA device)\n");
        return false;
    }
    output.start();
    size_t handed = 0;
    for (size_t at = 0; at < audio.size(); at += rilvane::kStagingBytes) {
        int32_t fill = rilvane::kStagingBytes;
        output.handOff(audio.data() + at, fill, nullptr);
        ++handed;
    }
    output.stop();
    output.release();
    m.cpu = processSeconds() - cpu0;
    m.wall = wallSeconds() - wall0;
    // The silent lap before the first handoff, then every staging buffer.
    m.audio = static_cast<double>((handed + 1) * rilvane::kSoundBufferBytes) / kBytesPerSecond;
    return true;
}

bool playWithAplay(const std::vector<uint8_t>& audio, Measure& m)
{
    char path[] = "/tmp/rilvane-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    close(fd);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(audio.data()),
                                                 static_cast<std::streamsize>(audio.size()));
    const double wall0 = wallSeconds();
    const pid_t child = fork();
    if (child == 0) {
        execlp("aplay", "aplay", "-q", "-D", "default", "-t", "raw", "-f", "cd", path, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    const bool ok = child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
    unlink(path);
    if (!ok) {
        std::fprintf(stderr, "aplay failed\n");
        return false;
    }
    m.wall = wallSeconds() - wall0;
    m.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.audio = static_cast<double>(audio.size()) / kBytesPerSecond;
    return true;
}

void report(const char* who, const Measure& m)
{
    std::printf("%-7s %8.1f ms CPU for %6.2f s of audio in %6.2f s (%.3f ms per audio second)\n", who,
                m.cpu * 1000, m.audio, m.wall, m.cpu * 1000 / m.audio);
}

double perExtraSecond(const Measure& shorter, const Measure& longer)
{
    return (longer.cpu - shorter.cpu) * 1000 / (longer.audio - shorter.audio);
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    if (!(seconds > 0 && seconds < 1800)) {
        std::fprintf(stderr, "usage: rilvane-sound-bench SECONDS\n");
        return 2;
    }
    const std::vector<uint8_t> shortTone = tone(seconds);
    const std::vector<uint8_t> longTone = tone(2 * seconds);
    Measure feeder[2];
    Measure aplay[2];
    if (!playWithFeeder(shortTone, feeder[0]) || !playWithAplay(shortTone, aplay[0]) ||
        !playWithFeeder(longTone, feeder[1]) || !playWithAplay(longTone, aplay[1]))
        return 1;
    for (int i = 0; i < 2; ++i) {
        report("feeder", feeder[i]);
        report("aplay", aplay[i]);
    }
    const double feederRate = perExtraSecond(feeder[0], feeder[1]);
    const double aplayRate = perExtraSecond(aplay[0], aplay[1]);
    std::printf("per extra second of audio: feeder %.3f ms CPU, aplay %.3f ms CPU\n", feederRate, aplayRate);
    if (aplayRate > 0) {
        std::printf("ratio feeder/aplay (CPU per audio second): %.2f\n", feederRate / aplayRate);
    } else {
        std::printf("ratio feeder/aplay: aplay used no measurable CPU per extra second\n");
    }
    return 0;
}
