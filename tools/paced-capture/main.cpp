// rilvane-paced-capture: a sound card for machines without one.
//
//   rilvane-paced-capture BYTES_PER_SECOND OUTPUT
//   rilvane-paced-capture --help | --version
//
// Reads raw audio from standard input no faster than BYTES_PER_SECOND (0:
// as fast as it comes) and writes it to OUTPUT.part; at the end of the input
// it renames OUTPUT.part to OUTPUT, so OUTPUT appears only when complete.
//
// Used as the command of ALSA's file plugin (file "|..."), it makes the
// plugin's writes block like a device that plays in real time: 176400 bytes
// per second is CD audio at normal speed, 705600 four times as fast. The
// pipe is shrunk to one page so that little audio waits in it. An ALSA
// configuration for it, put into $HOME/.asoundrc of a test's own HOME (or
// $XDG_CONFIG_HOME/alsa/asoundrc):
//
//   pcm.!default {
//       type file
//       slave.pcm "null"
//       file "|/path/to/rilvane-paced-capture 176400 /tmp/capture.raw"
//       format "raw"
//   }
//
// The plugin keeps up to one device buffer of audio before it writes to the
// pipe, and writes the rest when the stream is dropped or closed, so the
// capture holds every byte the player handed to ALSA.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kMaxChunk = 65536;
constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kMinSlackNanos = 1000000;
constexpr uint64_t kPipeBytes = 4096;

int64_t now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * kNanosPerSecond + t.tv_nsec;
}

void sleepUntil(int64_t when)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(when / kNanosPerSecond);
    t.tv_nsec = static_cast<long>(when % kNanosPerSecond);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

bool writeAll(int fd, const unsigned char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

constexpr char kUsage[] =
    "usage: rilvane-paced-capture BYTES_PER_SECOND OUTPUT\n"
    "       rilvane-paced-capture --help | --version\n"
    "Reads raw audio from standard input no faster than BYTES_PER_SECOND (0: as fast\n"
    "as it comes; 176400 is CD audio in real time) and writes it to OUTPUT.part,\n"
    "renamed to OUTPUT at the end of the input. Meant as the command of ALSA's file\n"
    "plugin: file \"|rilvane-paced-capture 176400 /tmp/capture.raw\".\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("rilvane-paced-capture %s\n", RILVANE_VERSION);
        return 0;
    }
    if (argc != 3) return usage();
    char* end = nullptr;
    errno = 0;
    const unsigned long long rate = std::strtoull(argv[1], &end, 10);
    if (errno != 0 || end == argv[1] || *end != '\0' || argv[1][0] == '-' || rate > 100000000ull) return usage();
    const std::string output = argv[2];
    const std::string partial = output + ".part";

    // One page of pipe: the writer blocks soon after the reader falls behind.
    // Fails harmlessly when standard input is not a pipe.
    fcntl(STDIN_FILENO, F_SETPIPE_SZ, static_cast<int>(kPipeBytes));

    const int out = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        std::fprintf(stderr, "rilvane-paced-capture: cannot create %s: %s\n", partial.c_str(), std::strerror(errno));
        return 1;
    }

    // Reads of about 5 ms of audio keep the pace smooth.
    size_t chunk = kMaxChunk;
    if (rate > 0) chunk = std::min<size_t>(kMaxChunk, std::max<size_t>(4, static_cast<size_t>(rate / 200) & ~size_t{3}));
    std::vector<unsigned char> buffer(chunk);

    // How late a read may come and still be caught up with: one pipe's worth
    // of audio, at least a millisecond. A sound card never plays faster to
    // make up for lost time; a capture that did would drain the player in a
    // burst (after a 5 ms stall of this process at 64 times real time, a
    // third of a second of audio at once), which is not what a device does.
    const int64_t slack = rate > 0 ? std::max<int64_t>(kMinSlackNanos, static_cast<int64_t>(kPipeBytes * kNanosPerSecond / rate))
                                   : 0;

    bool started = false;
    int64_t start = 0;
    uint64_t total = 0;  // bytes since `start`
    for (;;) {
        if (rate > 0 && started) {
            const int64_t due = start + static_cast<int64_t>(total * kNanosPerSecond / rate);
            const int64_t t = now();
            if (t < due) {
                sleepUntil(due);
            } else if (t - due > slack) {
                // The writer paused (a stopped stream), or this process was
                // held up: a device does not play faster afterwards, so the
                // schedule starts again.
                start = t;
                total = 0;
            }
        }
        const ssize_t n = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "rilvane-paced-capture: read failed: %s\n", std::strerror(errno));
            close(out);
            return 1;
        }
        if (n == 0) break;
        if (!started) {
            started = true;
            start = now();
        }
        total += static_cast<uint64_t>(n);
        if (!writeAll(out, buffer.data(), static_cast<size_t>(n))) {
            std::fprintf(stderr, "rilvane-paced-capture: cannot write %s: %s\n", partial.c_str(), std::strerror(errno));
            close(out);
            return 1;
        }
    }
    if (close(out) != 0 || rename(partial.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "rilvane-paced-capture: cannot finish %s: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
