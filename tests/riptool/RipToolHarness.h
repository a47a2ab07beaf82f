// The real rilvane-rip run against virtual discs made for one test, and
// what its files must hold afterwards.
#pragma once

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "DiscGenerator.h"
#include "audio/Karaoke.h"

extern char** environ;

namespace rilvane::riptool::test {

namespace fs = std::filesystem;
inline constexpr size_t kSectorBytes = 2352;

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string readText(const std::string& path)
{
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

inline uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

struct Defect {
    int32_t first;
    int32_t last;
    std::string rest;  // sense and delay, or "gone"
};

// A disc made for one test, in a folder of its own.
struct Disc {
    std::string folder;
    std::string entry;  // CUE[,DEFECTS] for RILVANE_VIRTUAL_DRIVES
    std::string cue;
    std::vector<uint8_t> image;
    std::vector<int32_t> starts;
    int32_t leadOut = 0;

    Disc(std::vector<int64_t> lengths, const std::vector<Defect>& defects, std::vector<std::string> lines = {},
         makedisc::DataTrack data = makedisc::DataTrack::None)
    {
        char tmpl[] = "/tmp/rilvane-riptool-XXXXXX";
        folder = mkdtemp(tmpl);
        makedisc::DiscPlan plan;
        plan.out = folder + "/disc/DISC";
        plan.lengths = std::move(lengths);
        plan.stamp = true;
        plan.dataTrack = data;
        plan.defects = std::move(lines);
        for (const Defect& d : defects)
            plan.defects.push_back(std::to_string(d.first) + "-" + std::to_string(d.last) + " " + d.rest);
        makedisc::GeneratedDisc made;
        std::string error;
        if (!makedisc::writeDisc(plan, made, error)) throw std::runtime_error(error);
        cue = made.cuePath;
        entry = made.cuePath + (made.defectsPath.empty() ? "" : "," + made.defectsPath);
        image = readFile(made.binPaths.at(0));
        for (auto s : made.trackStarts) starts.push_back(static_cast<int32_t>(s));
        leadOut = static_cast<int32_t>(made.leadOut);
    }
    ~Disc() { fs::remove_all(folder); }
};

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class Tool {
public:
    Tool(const std::string& folder, const std::string& drives) : folder_(folder), drives_(drives) {}

    pid_t start(const std::vector<std::string>& args)
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "RILVANE_", 8) != 0) env.emplace_back(*e);
        env.push_back("RILVANE_NO_REAL_DRIVES=1");
        env.push_back("RILVANE_VIRTUAL_DRIVES=" + drives_);
        std::vector<std::string> argv{RILVANE_RIP_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        auto pointers = [](std::vector<std::string>& v) {
            std::vector<char*> p;
            for (auto& s : v) p.push_back(s.data());
            p.push_back(nullptr);
            return p;
        };
        auto argp = pointers(argv);
        auto envp = pointers(env);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argp.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0 ? pid : -1;
    }

    ToolRun wait(pid_t pid)
    {
        ToolRun run;
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
        run.out = readText(outPath());
        run.err = readText(errPath());
        return run;
    }

    ToolRun operator()(const std::vector<std::string>& args) { return wait(start(args)); }

    // As wait(), but a run that has not ended after `seconds` is killed
    // and reported with exit code -1: a run that would hang fails the test.
    ToolRun waitAtMost(pid_t pid, int seconds)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ToolRun hung;
                hung.err = readText(errPath());
                return hung;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ToolRun run;
        if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
        run.out = readText(outPath());
        run.err = readText(errPath());
        return run;
    }
    ToolRun within(int seconds, const std::vector<std::string>& args) { return waitAtMost(start(args), seconds); }

    // Waits until the run's error output holds `text` (at most 30 s).
    bool awaitErr(const std::string& text) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readText(errPath()).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    std::string errPath() const { return folder_ + "/stderr.txt"; }
    std::string outPath() const { return folder_ + "/stdout.txt"; }

private:
    std::string folder_;
    std::string drives_;
};

// The image as a rescue must leave it: every sector, and zeros where
// `lost` says the sector cannot be read.
inline std::vector<uint8_t> expectedImage(const Disc& disc, const std::set<int32_t>& lost)
{
    std::vector<uint8_t> image = disc.image;
    for (const int32_t s : lost) std::fill_n(image.begin() + s * kSectorBytes, kSectorBytes, 0);
    return image;
}

inline std::set<int32_t> sectorsOf(const std::vector<Defect>& defects)
{
    std::set<int32_t> sectors;
    for (const Defect& d : defects)
        for (int32_t s = d.first; s <= d.last; ++s) sectors.insert(s);
    return sectors;
}

// A finished WAV file: header sizes that describe exactly what follows.
inline void expectWav(const std::vector<uint8_t>& file, const std::vector<uint8_t>& audio, const std::string& what)
{
    ASSERT_GE(file.size(), 44u) << what;
    EXPECT_EQ(le32(file, 4), file.size() - 8) << what;
    EXPECT_EQ(le32(file, 40), file.size() - 44) << what;
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), audio.begin(), audio.end())) << what;
}

// Every track file of `out` holds exactly its sectors of `image`.
inline void expectTrackFiles(const Disc& disc, const std::string& out, const std::vector<uint8_t>& image)
{
    for (size_t t = 0; t < disc.starts.size(); ++t) {
        const int32_t end = t + 1 < disc.starts.size() ? disc.starts[t + 1] : disc.leadOut;
        char name[32];
        std::snprintf(name, sizeof name, "/track%02zu.wav", t + 1);
        const std::vector<uint8_t> audio(image.begin() + disc.starts[t] * kSectorBytes,
                                         image.begin() + end * kSectorBytes);
        expectWav(readFile(out + name), audio, name);
    }
}

inline QJsonObject readReport(const std::string& path)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(readText(path))).object();
}

// The sector ranges a report lists under `key` ("missingRanges",
// "suspectRanges"), over all tracks.
inline std::set<int32_t> reportedSectors(const QJsonObject& report, const char* key)
{
    std::set<int32_t> sectors;
    for (const auto& track : report["tracks"].toArray())
        for (const auto& r : track.toObject()[key].toArray())
            for (int32_t s = r.toObject()["firstSector"].toInt(); s <= r.toObject()["lastSector"].toInt(); ++s)
                sectors.insert(s);
    return sectors;
}

// The map file as sector -> state, checked against the working copy: what
// it calls good or verified is the image's sector, byte for byte (only
// what it calls verified when good sectors may be unconfirmed).
inline std::map<int32_t, std::string> checkMap(const Disc& disc, const std::string& out, bool goodIsConfirmed = true)
{
    std::map<int32_t, std::string> states;
    std::istringstream in(readText(out + "/disc.map"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "rilvane-rescue-map 1");
    const std::vector<uint8_t> copy = readFile(out + "/disc.bin");
    int32_t next = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("toc", 0) == 0 || line.rfind("data", 0) == 0 ||
            line.rfind("runs", 0) == 0 || line.rfind("sum ", 0) == 0 || line.rfind("drive", 0) == 0)
            continue;
        std::istringstream words(line);
        std::string range, state;
        words >> range >> state;
        const size_t dash = range.find('-');
        const int32_t first = std::stoi(range.substr(0, dash));
        const int32_t last = dash == std::string::npos ? first : std::stoi(range.substr(dash + 1));
        EXPECT_EQ(first, next) << line;
        next = last + 1;
        for (int32_t s = first; s <= last; ++s) {
            states[s] = state;
            if (state != "verified" && (state != "good" || !goodIsConfirmed)) continue;
            const bool same = copy.size() >= size_t(s + 1) * kSectorBytes &&
                              std::equal(copy.begin() + s * kSectorBytes, copy.begin() + (s + 1) * kSectorBytes,
                                         disc.image.begin() + s * kSectorBytes);
            EXPECT_TRUE(same) << "sector " << s << " is " << state << " in the map, but not in the copy";
            if (!same) return states;
        }
    }
    EXPECT_EQ(next, disc.leadOut);
    return states;
}

struct Transport {
    const char* name;
    const char* target;
    const char* second;  // a second drive on the same transport
    friend void PrintTo(const Transport& t, std::ostream* os) { *os << t.name; }
};
inline const Transport kTransports[] = {{"PassThrough", "E", "F"}, {"Aspi", "aspi:0:0", "aspi:0:1"}};

class RipToolTest : public ::testing::TestWithParam<Transport> {
protected:
    std::string drives(const Disc& disc) const { return std::string(GetParam().target) + "=" + disc.entry; }
};

}  // namespace rilvane::riptool::test
