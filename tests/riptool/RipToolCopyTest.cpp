// The real rilvane-rip and what it trusts when it goes on: a working copy
// cut short or changed, a folder of files it did not make, the map that
// could not be saved, the samples the read offset moves across a track's
// end, the map's word against the table of contents, and files left by a
// run that was killed.
#include "RipToolHarness.h"

namespace rilvane::riptool {
namespace {

using namespace test;

class RipToolCopyTest : public RipToolTest {};

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A copy cut to nothing, to half, to an odd length, or changed in place:
// what it no longer holds is read again, never handed out as silence or
// as other bytes.
TEST_P(RipToolCopyTest, ACopyCutShortOrChangedIsReadAgain)
{
    Disc disc({3000, 3000}, {});
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    const std::string bin = out + "/disc.bin";
    ASSERT_EQ(tool({"--out", out}).exitCode, 0);
    const uint64_t whole = uint64_t(disc.leadOut) * kSectorBytes;
    struct Case {
        const char* what;
        std::function<void()> spoil;
    };
    const Case cases[] = {
        {"emptied", [&] { fs::resize_file(bin, 0); }},
        {"halved", [&] { fs::resize_file(bin, whole / 2); }},
        {"odd length", [&] { fs::resize_file(bin, whole / 3 + 1234); }},
        {"changed in place", [&] {
             std::fstream f(bin, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(4321 * kSectorBytes + 100);
             f << "not what the disc holds";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(disc.folder + "/r.json");
        c.spoil();
        const ToolRun run = tool({"--out", out, "--report", disc.folder + "/r.json"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(has(run.err, "Arbeitskopie")) << run.err;
        EXPECT_TRUE(readFile(bin) == disc.image);
        expectTrackFiles(disc, out, disc.image);
        EXPECT_LT(readReport(disc.folder + "/r.json")["totals"].toObject()["earlier"].toInt(), disc.leadOut);
        checkMap(disc, out);
    }
}

// Files with the rescue's names in a folder without a map are the user's:
// not taken over without --force. With --force the rescue starts afresh:
// nothing of the old copy stays where the disc cannot be read.
TEST_P(RipToolCopyTest, AFolderWithoutAMapIsNotTakenOver)
{
    const std::vector<Defect> bad{{1000, 1009, "03/11/00"}};
    Disc disc({3000, 3000}, bad);
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    fs::create_directories(out);
    const std::string mine(20'000'000, 'u');
    for (const char* name : {"disc.bin", "disc.cue", "disc.log"}) {
        std::ofstream(out + "/" + name, std::ios::binary) << mine.substr(0, std::string(name) == "disc.bin" ? mine.size() : 9);
        ToolRun run = tool({"--out", out});
        EXPECT_EQ(run.exitCode, 2) << name << ": " << run.err;
        EXPECT_TRUE(has(run.err, "liegt schon disc.bin, aber keine Karte")) << run.err;
        EXPECT_TRUE(has(run.err, "--force")) << run.err;
        EXPECT_FALSE(fs::exists(out + "/disc.map")) << name;
    }
    EXPECT_EQ(fs::file_size(out + "/disc.bin"), mine.size());
    EXPECT_EQ(readText(out + "/disc.log"), "uuuuuuuuu");

    ToolRun run = tool({"--out", out, "--force", "--retries", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(readFile(out + "/disc.bin") == expectedImage(disc, sectorsOf(bad)));
    EXPECT_FALSE(has(readText(out + "/disc.log"), "uuuuuuuuu"));
}

// A map that could not be saved is never called saved: the summary, the
// report and the exit status say so.
TEST_P(RipToolCopyTest, AMapThatCouldNotBeSavedIsNotCalledSaved)
{
    std::vector<Defect> slow;
    for (int32_t s = 100; s < 1500; s += 20) slow.push_back({s, s + 9, "03/11/00 150"});
    Disc disc({1500, 600}, slow);
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    const pid_t pid = tool.start({"--out", out, "--report", disc.folder + "/r.json", "--passes", "1"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(tool.awaitErr("Durchgang 1"));
    // From now on a folder stands at the map's name: no save can replace it.
    fs::create_directories(disc.folder + "/blocker/x");
    for (int tries = 0; tries < 100; ++tries) {
        fs::remove(out + "/disc.map");
        if (::rename((disc.folder + "/blocker").c_str(), (out + "/disc.map").c_str()) == 0) break;
    }
    ASSERT_TRUE(fs::is_directory(out + "/disc.map"));
    const ToolRun run = tool.waitAtMost(pid, 60);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_FALSE(has(run.out, "das Gerettete ist gesichert")) << run.out;
    EXPECT_TRUE(has(run.out, "Karte")) << run.out;
    const QJsonObject report = readReport(disc.folder + "/r.json");
    EXPECT_TRUE(has(report["problem"].toString().toStdString(), "Karte")) << run.out;
    EXPECT_FALSE(report["mapSaved"].toBool(true));
}

// The read offset moves samples across a track's end: those that come
// from sectors that were not read are missing in the track they land in,
// and with --tracks the sectors the shift needs are read.
TEST_P(RipToolCopyTest, SilenceFromTheOffsetIsCounted)
{
    const std::vector<Defect> bad{{3000, 3001, "03/11/00"}};
    Disc disc({3000, 3000}, bad);
    Tool tool(disc.folder, drives(disc));
    ToolRun run = tool({"--out", disc.folder + "/a", "--offset", "+1000", "--retries", "1", "--report",
                        disc.folder + "/a.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const auto tracks = readReport(disc.folder + "/a.json")["tracks"].toArray();
    EXPECT_GT(tracks[0].toObject()["missing"].toInt(), 0) << run.out;
    EXPECT_FALSE(has(readText(disc.folder + "/a/disc.log").substr(0, readText(disc.folder + "/a/disc.log").find("Track 02")),
                     "Fehlend:                nichts"));

    run = tool({"--out", disc.folder + "/b", "--tracks", "1", "--offset", "+1000", "--retries", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(has(run.out, "NICHT vollständig gerettet")) << run.out;

    // A track whose shifted samples all read is whole.
    Disc clean({3000, 3000}, {});
    run = Tool(clean.folder, drives(clean))({"--out", clean.folder + "/c", "--tracks", "1", "--offset", "+1000"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

// The table of contents says which tracks hold data, not the map: a line
// added to the map does not keep an audio track from being read.
TEST_P(RipToolCopyTest, TheMapDoesNotMakeAnAudioTrackData)
{
    Disc disc({300, 300}, {}, {"speed 100"});  // reads take their time: no cache to doubt
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    ASSERT_EQ(tool({"--out", out, "--tracks", "1"}).exitCode, 0);
    std::string map = readText(out + "/disc.map");
    map.insert(map.find("\n", map.find("toc ")) + 1, "data 2\n");
    std::ofstream(out + "/disc.map", std::ios::binary | std::ios::trunc) << map;
    const ToolRun run = tool({"--out", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(readFile(out + "/disc.bin") == disc.image);
    expectTrackFiles(disc, out, disc.image);
}

// Hidden files of a track file being written, left by a run that was
// killed, are removed by the next run; a stopped pass never says 100 %.
TEST_P(RipToolCopyTest, WhatAKilledRunLeftIsCleanedUp)
{
    std::vector<Defect> slow;
    for (int32_t s = 100; s < 1500; s += 20) slow.push_back({s, s + 9, "03/11/00 150"});
    Disc disc({1500, 600}, slow);
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    fs::create_directories(out);
    std::ofstream(out + "/.track01.wav.1a2b3c4d5e.part") << std::string(100000, 'x');
    std::ofstream(out + "/.notes.txt.part") << "mine";
    const pid_t pid = tool.start({"--out", out});
    ASSERT_TRUE(tool.awaitErr("Durchgang 1"));
    kill(pid, SIGINT);
    const ToolRun run = tool.waitAtMost(pid, 60);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_FALSE(fs::exists(out + "/.track01.wav.1a2b3c4d5e.part"));
    EXPECT_TRUE(fs::exists(out + "/.notes.txt.part"));
    EXPECT_FALSE(has(run.err, "100 %")) << run.err;
}

// Going on from a second drive whose copy of the disc reads otherwise in
// places: where the second drive's reading differs from the first one's,
// neither is taken (the first stays in the copy, suspect) and the finding
// is reported; what only the second drive can read is taken from it.
TEST_P(RipToolCopyTest, ReadingsOfTwoDrivesThatDisagreeAreAFinding)
{
    const std::vector<Defect> bad{{1000, 1009, "03/11/00"}};
    // Both drives' reads take their time, so each shows it keeps no cache
    // and what it reads twice alike is confirmed.
    Disc disc({1500, 1500}, bad, {"speed 100"});
    const std::string other = disc.folder + "/other";
    fs::create_directories(other);
    std::vector<uint8_t> otherImage = disc.image;
    for (size_t i = 500 * kSectorBytes; i < 510 * kSectorBytes; i += 7) otherImage[i] ^= 0x5A;
    {
        std::ofstream bin(other + "/" + fs::path(disc.cue).stem().string() + ".bin", std::ios::binary);
        bin.write(reinterpret_cast<const char*>(otherImage.data()), std::streamsize(otherImage.size()));
    }
    fs::copy_file(disc.cue, other + "/" + fs::path(disc.cue).filename().string());
    std::ofstream(other + "/timed.defects") << "speed 100\n";
    const std::string both = std::string(GetParam().target) + "=" + disc.entry + ";" + GetParam().second + "=" +
                             other + "/" + fs::path(disc.cue).filename().string() + "," + other + "/timed.defects";
    Tool tool(disc.folder, both);
    const std::string out = disc.folder + "/out";
    ToolRun run = tool({"--out", out, "--retries", "1"});
    ASSERT_EQ(run.exitCode, 1) << run.err;
    run = tool({"--out", out, "--drive", "1", "--verify", "--report", disc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(has(run.out, "10 Sektoren las dieses Laufwerk anders als das frühere")) << run.out;
    EXPECT_TRUE(has(readText(out + "/disc.log"), "anders als das frühere")) << readText(out + "/disc.log").substr(0, 3000);
    const QJsonObject report = readReport(disc.folder + "/r.json");
    EXPECT_EQ(report["contestedSectors"].toInt(), 10);
    EXPECT_EQ(reportedSectors(report, "suspectRanges"), (std::set<int32_t>{500, 501, 502, 503, 504, 505, 506, 507, 508, 509}));
    EXPECT_TRUE(reportedSectors(report, "missingRanges").empty());
    // The copy keeps the first drive's reading where they disagree, and has
    // the second's where only it could read.
    EXPECT_TRUE(readFile(out + "/disc.bin") == disc.image);
    const auto states = checkMap(disc, out);
    EXPECT_EQ(states.at(505), "suspect");
    EXPECT_EQ(states.at(1005), "verified");
}

INSTANTIATE_TEST_SUITE_P(BothTransports, RipToolCopyTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rilvane::riptool
