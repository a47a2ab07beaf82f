// The real rilvane-rip against virtual discs, on the pass-through (a drive
// letter) and on the ASPI layer: the files against the disc image bit for
// bit, the report against the defect map, Ctrl+C, a drive that vanishes,
// and the exit codes.
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
#include <thread>

#include "DiscGenerator.h"
#include "audio/Karaoke.h"

extern char** environ;

namespace rilvane::riptool {
namespace {

namespace fs = std::filesystem;
constexpr size_t kSectorBytes = 2352;

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string readText(const std::string& path)
{
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
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
    std::vector<uint8_t> image;
    std::vector<int32_t> starts;
    int32_t leadOut = 0;

    Disc(std::vector<int64_t> lengths, const std::vector<Defect>& defects, std::vector<std::string> lines = {},
         makedisc::DataTrack dataTrack = makedisc::DataTrack::None)
    {
        char tmpl[] = "/tmp/rilvane-riptool-XXXXXX";
        folder = mkdtemp(tmpl);
        makedisc::DiscPlan plan;
        plan.out = folder + "/disc/DISC";
        plan.lengths = std::move(lengths);
        plan.stamp = true;
        plan.defects = std::move(lines);
        plan.dataTrack = dataTrack;
        for (const Defect& d : defects)
            plan.defects.push_back(std::to_string(d.first) + "-" + std::to_string(d.last) + " " + d.rest);
        makedisc::GeneratedDisc made;
        std::string error;
        if (!makedisc::writeDisc(plan, made, error)) throw std::runtime_error(error);
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

    std::string errPath() const { return folder_ + "/stderr.txt"; }
    std::string outPath() const { return folder_ + "/stdout.txt"; }

private:
    std::string folder_;
    std::string drives_;
};

// What the program must have made of one track: the blocks of the read
// loop from the track's start to its end (the last one shortened there),
// failed blocks left out or silent, and nothing after the eleventh failure
// in a row.
struct Expected {
    std::vector<uint8_t> audio;
    std::vector<std::pair<int32_t, int32_t>> failed;  // joined sector ranges
    bool errorLimit = false;
};

Expected expectTrack(const Disc& disc, int32_t first, int32_t end, const std::vector<Defect>& defects, bool silence)
{
    Expected e;
    int inRow = 0;
    for (int32_t s = first; s < end; s += 10) {
        const int32_t n = std::min(10, end - s);
        bool bad = false;
        for (const Defect& d : defects) bad = bad || (d.first < s + n && d.last >= s);
        if (!bad) {
            inRow = 0;
            e.audio.insert(e.audio.end(), disc.image.begin() + s * kSectorBytes,
                           disc.image.begin() + (s + n) * kSectorBytes);
            continue;
        }
        if (silence) e.audio.insert(e.audio.end(), n * kSectorBytes, 0);
        if (!e.failed.empty() && e.failed.back().second + 1 == s) e.failed.back().second = s + n - 1;
        else e.failed.emplace_back(s, s + n - 1);
        if (++inRow > 10) {
            e.errorLimit = true;
            break;
        }
    }
    return e;
}

// A finished WAV file: header sizes that describe exactly what follows.
void expectWav(const std::vector<uint8_t>& file, const std::vector<uint8_t>& audio, const std::string& what)
{
    ASSERT_GE(file.size(), 44u) << what;
    EXPECT_EQ(le32(file, 4), file.size() - 8) << what;
    EXPECT_EQ(le32(file, 40), file.size() - 44) << what;
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), audio.begin(), audio.end())) << what;
}

QJsonObject readReport(const std::string& path)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(readText(path))).object();
}

struct Transport {
    const char* name;
    const char* target;
    friend void PrintTo(const Transport& t, std::ostream* os) { *os << t.name; }
};
const Transport kTransports[] = {{"PassThrough", "E"}, {"Aspi", "aspi:0:0"}};

class RipToolTest : public ::testing::TestWithParam<Transport> {
protected:
    std::string drives(const Disc& disc) const { return std::string(GetParam().target) + "=" + disc.entry; }
};

// Three tracks; scratches in all of them, each aligned to the read blocks of
// its track so that the failed ranges are the map's ranges. Track 2 meets
// eleven failed blocks in a row and ends there; track 3 is still ripped, up
// to the lead-out, whose last block is five sectors long and fails.
const std::vector<int64_t> kLengths{1003, 2000, 1005};
const std::vector<Defect> kScratches{
    {200, 209, "03/11/05"}, {300, 319, "03/11/00"},  // track 1: one and two blocks
    {1503, 1612, "03/11/00"},                        // track 2: eleven blocks
    {3503, 3512, "03/02/00"}, {4003, 4007, "03/11/00"},  // track 3: one block and the short last one
};

TEST_P(RipToolTest, RescuesEveryTrackAndReportsWhatFailed)
{
    Disc disc(kLengths, kScratches);
    Tool tool(disc.folder, drives(disc));
    for (const bool silence : {false, true}) {
        SCOPED_TRACE(silence ? "--fill-silence" : "failed blocks left out");
        const std::string out = disc.folder + (silence ? "/silent" : "/plain");
        std::vector<std::string> args{"--out", out, "--report", out + ".json"};
        if (silence) args.push_back("--fill-silence");
        const ToolRun run = tool(args);
        EXPECT_EQ(run.exitCode, 1) << run.err;

        const QJsonObject report = readReport(out + ".json");
        const QJsonArray tracks = report["tracks"].toArray();
        ASSERT_EQ(tracks.size(), 3) << run.out;
        int64_t failedTotal = 0;
        for (int t = 0; t < 3; ++t) {
            const int32_t end = t + 1 < 3 ? disc.starts[t + 1] : disc.leadOut;
            const Expected e = expectTrack(disc, disc.starts[t], end, kScratches, silence);
            char name[32];
            std::snprintf(name, sizeof name, "/track%02d.wav", t + 1);
            expectWav(readFile(out + name), e.audio, name);

            const QJsonObject track = tracks[t].toObject();
            EXPECT_EQ(track["errorLimitReached"].toBool(), e.errorLimit) << name;
            EXPECT_EQ(track["errorLimitReached"].toBool(), t == 1) << name;
            const QJsonArray ranges = track["failedRanges"].toArray();
            ASSERT_EQ(ranges.size(), static_cast<qsizetype>(e.failed.size())) << name;
            for (qsizetype k = 0; k < ranges.size(); ++k) {
                EXPECT_EQ(ranges[k].toObject()["firstSector"].toInt(), e.failed[k].first) << name;
                EXPECT_EQ(ranges[k].toObject()["lastSector"].toInt(), e.failed[k].second) << name;
            }
            failedTotal += track["blocksFailed"].toInteger();
        }
        // The map's ranges, every one of them, in the report.
        std::vector<std::pair<int32_t, int32_t>> reported;
        for (const auto& track : tracks)
            for (const auto& r : track.toObject()["failedRanges"].toArray())
                reported.emplace_back(r.toObject()["firstSector"].toInt(), r.toObject()["lastSector"].toInt());
        const std::vector<std::pair<int32_t, int32_t>> map{{200, 209}, {300, 319}, {1503, 1612}, {3503, 3512}, {4003, 4007}};
        EXPECT_EQ(reported, map);
        EXPECT_EQ(failedTotal, 1 + 2 + 11 + 2);
        EXPECT_EQ(report["totals"].toObject()["blocksFailed"].toInteger(), failedTotal);
        EXPECT_EQ(tracks[0].toObject()["failedRanges"].toArray()[1].toObject()["start"].toString(), "00:04.00");
        EXPECT_EQ(tracks[0].toObject()["failedRanges"].toArray()[1].toObject()["end"].toString(), "00:04.20");

        // The summary says the same for people.
        EXPECT_NE(run.out.find("Track 02: 50 Blöcke gelesen, 11 fehlerhaft, durch das Fehlerlimit vorzeitig beendet"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("  fehlt: 00:04.00 - 00:04.20 (Sektor 300 bis 319)"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("CD: 3 Tracks, "), std::string::npos) << run.out;
    }
}

TEST_P(RipToolTest, ChosenTracksKaraokeAndScan)
{
    Disc disc({600, 700, 800}, {});
    Tool tool(disc.folder, drives(disc));

    ToolRun run = tool({"--tracks", "3,1", "--out", disc.folder + "/k", "--name", "k-%d.raw.wav", "--karaoke"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(disc.folder + "/k/k-2.raw.wav"));
    for (const int t : {1, 3}) {
        const int32_t end = t == 3 ? disc.leadOut : disc.starts[t];
        Expected e = expectTrack(disc, disc.starts[t - 1], end, {}, false);
        applyKaraoke(e.audio.data(), e.audio.size() / 4);
        expectWav(readFile(disc.folder + "/k/k-" + std::to_string(t) + ".raw.wav"), e.audio, std::to_string(t));
    }

    // Reading only: a damage map of a clean disc, and no file anywhere.
    run = tool({"--scan", "--out", disc.folder + "/scan", "--report", disc.folder + "/scan.json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(disc.folder + "/scan"));
    const QJsonObject report = readReport(disc.folder + "/scan.json");
    EXPECT_TRUE(report["scan"].toBool());
    EXPECT_EQ(report["totals"].toObject()["blocksRead"].toInt(), 60 + 70 + 80);
    EXPECT_TRUE(report["tracks"].toArray()[0].toObject()["file"].isNull());
}

// An enhanced CD (its data track last) is a whole disc, not a damaged one:
// the data track is skipped with a line saying so and nothing else fails.
// Asked for the data track alone, there is nothing to read.
TEST_P(RipToolTest, DataTrackIsSkippedNotRippedAsNoise)
{
    Disc disc({600, 700, 300}, {}, {}, makedisc::DataTrack::Last);
    Tool tool(disc.folder, drives(disc));
    ToolRun run = tool({"--out", disc.folder + "/e"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("Track 03 ist ein Datentrack und wird übersprungen"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(disc.folder + "/e/track01.wav"));
    EXPECT_TRUE(fs::exists(disc.folder + "/e/track02.wav"));
    EXPECT_FALSE(fs::exists(disc.folder + "/e/track03.wav"));

    run = tool({"--tracks", "3", "--out", disc.folder + "/d"});
    EXPECT_EQ(run.exitCode, 3) << run.out;
    EXPECT_NE(run.err.find("Keine Audio-Tracks zu lesen"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(disc.folder + "/d/track03.wav"));
}

// Ctrl+C (and a termination request) in the middle of track 1: the file
// holds what was read, with a header that says so, the report is written,
// and the program ends with 130 without touching track 2.
TEST_P(RipToolTest, InterruptFinishesTheFileAndTheReport)
{
    // Every other block of track 1 fails slowly: the rip takes seconds.
    std::vector<Defect> slow;
    for (int32_t s = 100; s < 1500; s += 20) slow.push_back({s, s + 9, "03/11/00 150"});
    Disc disc({1500, 600}, slow);
    Tool tool(disc.folder, drives(disc));
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(sig));
        const std::string out = disc.folder + "/out" + std::to_string(sig);
        const pid_t pid = tool.start({"--out", out, "--report", out + ".json"});
        ASSERT_GT(pid, 0);
        // Signal once the first progress line is out.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readText(tool.errPath()).find("Track 01:") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid, sig);
        const ToolRun run = tool.wait(pid);
        EXPECT_EQ(run.exitCode, 130) << run.err;

        const auto file = readFile(out + "/track01.wav");
        ASSERT_GE(file.size(), 44u);
        const size_t audio = file.size() - 44;
        EXPECT_EQ(audio % (10 * kSectorBytes), 0u);
        EXPECT_LT(audio, 1500 * kSectorBytes / 2);
        Expected e = expectTrack(disc, 0, 1500, slow, false);
        e.audio.resize(std::min(e.audio.size(), audio));
        expectWav(file, e.audio, "track01.wav");
        EXPECT_FALSE(fs::exists(out + "/track02.wav"));

        const QJsonObject report = readReport(out + ".json");
        EXPECT_TRUE(report["interrupted"].toBool());
        ASSERT_EQ(report["tracks"].toArray().size(), 1);
        const QJsonObject track = report["tracks"].toArray()[0].toObject();
        EXPECT_TRUE(track["interrupted"].toBool());
        EXPECT_EQ(track["blocksRead"].toInteger() * 10 * static_cast<qint64>(kSectorBytes), static_cast<qint64>(audio));
        EXPECT_NE(run.out.find("Abgebrochen"), std::string::npos) << run.out;
    }
}

// The drive is lost in the middle of track 2 and does not come back: every
// track still ends (the error limit), each file is finished, and the
// program says that blocks are missing.
TEST_P(RipToolTest, VanishedDriveLeavesFinishedFiles)
{
    const std::vector<Defect> gone{{1500, 99999, "gone"}};
    Disc disc({1000, 1000, 1000}, gone);
    Tool tool(disc.folder, drives(disc));
    const ToolRun run = tool({"--out", disc.folder + "/out"});
    EXPECT_TRUE(run.exitCode == 1 || run.exitCode == 3) << run.exitCode << run.err;
    for (int t = 0; t < 3; ++t) {
        const int32_t end = t < 2 ? disc.starts[t + 1] : disc.leadOut;
        const Expected e = expectTrack(disc, disc.starts[t], end, gone, false);
        expectWav(readFile(disc.folder + "/out/track0" + std::to_string(t + 1) + ".wav"), e.audio, std::to_string(t));
    }
}

// Wrong use ends with 2 before anything is written; no drive or no table of
// contents with 3.
TEST_P(RipToolTest, RefusalsAndTheirExitCodes)
{
    Disc disc({300, 300}, {});
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    fs::create_directories(out);
    std::ofstream(out + "/track02.wav") << "keep me";

    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{"--name", "%s%n.wav"}, 2},
        {{"--tracks", "0"}, 2},
        {{"--bogus"}, 2},
        {{"--out", out, "--tracks", "3"}, 2},  // the disc has two tracks
        {{"--out", out}, 2},                   // track02.wav is there already
        {{"--drive", "1", "--out", out}, 3},   // one drive only
    };
    for (const Case& c : cases) {
        const ToolRun run = tool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << ": " << run.err;
        EXPECT_FALSE(run.err.empty()) << c.args[0];
        EXPECT_EQ(readText(out + "/track02.wav"), "keep me");
        EXPECT_FALSE(fs::exists(out + "/track01.wav")) << c.args[0];
    }
    ToolRun run = tool({"--out", out, "--force"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(out + "/track02.wav").size(), 44 + 300 * kSectorBytes);

    // A report that would overwrite a file is refused the same way.
    run = tool({"--scan", "--report", out + "/track02.wav"});
    EXPECT_EQ(run.exitCode, 2);

    run = Tool(disc.folder, "")({"--scan"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("Es wurden keine CD-Laufwerke gefunden!"), std::string::npos) << run.err;

    Disc noToc({300}, {}, {"toc 05/24/00"});
    run = Tool(noToc.folder, drives(noToc))({"--out", noToc.folder + "/out", "--report", noToc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_FALSE(fs::exists(noToc.folder + "/out"));
    EXPECT_FALSE(readReport(noToc.folder + "/r.json")["problem"].toString().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothTransports, RipToolTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rilvane::riptool
