// The real rilvane-rip and what it finds in its folder and at the names it
// is given: things that are not files, links, a second run at the same
// time, and its log after kills, cuts and edits.
#include <sys/stat.h>

#include <functional>

#include "RipToolHarness.h"

namespace rilvane::riptool {
namespace {

using namespace test;

class RipToolFolderTest : public RipToolTest {};

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A disc that takes a while to read: a failing read of 150 ms every 20
// sectors, so that a test can act while a run is in its first pass.
Disc slowDisc()
{
    std::vector<Defect> slow;
    for (int32_t s = 100; s < 1500; s += 20) slow.push_back({s, s + 9, "03/11/00 150"});
    return Disc({1500, 600}, slow);
}

// A FIFO, an endless device, a folder and a file far too large, named
// where the program reads a file: each refused at once with what it is,
// exit code 2, never a wait, a crash or the memory filled.
TEST(RipToolFilesTest, CheckLogReadsOnlyRegularFiles)
{
    char tmpl[] = "/tmp/rilvane-riptool-XXXXXX";
    const std::string folder = mkdtemp(tmpl);
    Tool tool(folder, "");
    ASSERT_EQ(mkfifo((folder + "/fifo").c_str(), 0644), 0);
    {
        std::ofstream huge(folder + "/huge.log");
    }
    fs::resize_file(folder + "/huge.log", uint64_t{300} << 20);  // sparse: takes no room
    const std::pair<std::string, std::string> cases[] = {
        {folder + "/fifo", "Pipe"},
        {"/dev/zero", "Gerät"},
        {folder, "Ordner"},
        {folder + "/huge.log", "größer als"},
        {folder + "/none.log", "gibt es nicht"},
    };
    for (const auto& [path, says] : cases) {
        const ToolRun run = tool.within(20, {"--check-log", path});
        EXPECT_EQ(run.exitCode, 2) << path << ": " << run.err;
        EXPECT_TRUE(has(run.err, says)) << path << ": " << run.err;
    }
    fs::remove_all(folder);
}

TEST_P(RipToolFolderTest, NamesThatAreNotFilesAreRefusedAtOnce)
{
    Disc disc({300, 300}, {}, {"speed 100"});  // reads take their time: no cache to doubt
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    fs::create_directories(out);
    ASSERT_EQ(mkfifo((disc.folder + "/fifo").c_str(), 0644), 0);
    for (const auto& [path, says] : {std::pair<std::string, std::string>{disc.folder + "/fifo", "Pipe"},
                                    {"/dev/zero", "Gerät"},
                                    {disc.folder, "Ordner"}}) {
        const ToolRun run = tool.within(20, {"--out", out, "--accuraterip-file", path});
        EXPECT_EQ(run.exitCode, 2) << path << ": " << run.err;
        EXPECT_TRUE(has(run.err, "Die AccurateRip-Datei " + path + " ist ")) << run.err;
        EXPECT_TRUE(has(run.err, says)) << path << ": " << run.err;
        EXPECT_FALSE(fs::exists(out + "/disc.bin"));
    }

    // The map's name holding something else than a map.
    const std::string map = out + "/disc.map";
    struct Case {
        std::function<void()> make;
        const char* says;
    };
    const Case maps[] = {
        {[&] { ASSERT_EQ(mkfifo(map.c_str(), 0644), 0); }, "Pipe"},
        {[&] { fs::create_directory(map); }, "ist ein Ordner"},
        {[&] { fs::create_symlink("/dev/zero", map); }, "symbolischer Link"},
    };
    for (const Case& c : maps) {
        fs::remove_all(map);
        c.make();
        const ToolRun run = tool.within(20, {"--out", out});
        EXPECT_EQ(run.exitCode, 2) << c.says << ": " << run.err;
        EXPECT_TRUE(has(run.err, "Die Karte " + map)) << run.err;
        EXPECT_TRUE(has(run.err, c.says)) << run.err;
        EXPECT_FALSE(fs::exists(out + "/disc.bin"));
    }
    fs::remove_all(map);

    // The working copy's name holding a folder or a FIFO beside a true map.
    ASSERT_EQ(tool({"--out", out}).exitCode, 0);
    const std::string bin = out + "/disc.bin";
    for (const auto& [make, says] : {std::pair<std::function<void()>, std::string>{
                                         [&] { fs::create_directory(bin); }, "ist ein Ordner"},
                                     {[&] { ASSERT_EQ(mkfifo(bin.c_str(), 0644), 0); }, "Pipe"}}) {
        fs::remove_all(bin);
        make();
        const ToolRun run = tool.within(20, {"--out", out});
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_TRUE(has(run.err, "Die Arbeitskopie " + bin)) << run.err;
        EXPECT_TRUE(has(run.err, says)) << run.err;
    }
}

// Links at the names of the rescue's files: the log is never appended to
// through one (the run is refused), and the CUE sheet's and the map's
// files are never written through one. What the links point at stays as
// it was.
TEST_P(RipToolFolderTest, NothingIsWrittenThroughALink)
{
    Disc disc({300, 300}, {}, {"speed 100"});  // reads take their time: no cache to doubt
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    const std::string elsewhere = disc.folder + "/elsewhere";
    fs::create_directories(out);
    fs::create_directories(elsewhere);
    ASSERT_EQ(tool({"--out", out}).exitCode, 0);
    fs::remove(out + "/disc.log");
    std::ofstream(elsewhere + "/notes.txt") << "mine\n";
    fs::create_symlink(elsewhere + "/notes.txt", out + "/disc.log");
    ToolRun run = tool({"--out", out});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_TRUE(has(run.err, "Das Protokoll " + out + "/disc.log ist ein symbolischer Link")) << run.err;
    EXPECT_EQ(readText(elsewhere + "/notes.txt"), "mine\n");
    fs::remove(out + "/disc.log");
    fs::remove(out + "/disc.cue");

    for (const char* name : {"disc.cue.neu", "disc.map.neu", "disc.log.neu"}) {
        std::ofstream(elsewhere + "/" + name) << "theirs\n";
        fs::create_symlink(elsewhere + "/" + name, out + "/" + name);
    }
    run = tool({"--out", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* name : {"disc.cue.neu", "disc.map.neu", "disc.log.neu"})
        EXPECT_EQ(readText(elsewhere + "/" + name), "theirs\n") << name;
    EXPECT_TRUE(has(readText(out + "/disc.cue"), "disc.bin"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "/disc.cue")));

    // A link at the sheet's own name is replaced by the sheet.
    fs::remove(out + "/disc.cue");
    std::ofstream(elsewhere + "/sheet.cue") << "theirs\n";
    fs::create_symlink(elsewhere + "/sheet.cue", out + "/disc.cue");
    run = tool({"--out", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readText(elsewhere + "/sheet.cue"), "theirs\n");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "/disc.cue")));
}

// A second run on a folder in which a run is working is refused, naming
// the process, and changes nothing; once the first is gone (even killed
// without a word) the folder is free again.
TEST_P(RipToolFolderTest, OneRunAtATimeInAFolder)
{
    Disc disc = slowDisc();
    const std::string out = disc.folder + "/out";
    fs::create_directories(disc.folder + "/a");
    fs::create_directories(disc.folder + "/b");
    Tool first(disc.folder + "/a", drives(disc));
    Tool second(disc.folder + "/b", drives(disc));
    const pid_t pid = first.start({"--out", out});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(first.awaitErr("Durchgang 1"));
    const std::string log = readText(out + "/disc.log");
    ToolRun run = second.within(30, {"--out", out, "--report", disc.folder + "/b.json"});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_TRUE(has(run.err, "arbeitet schon eine Rettung (Prozess " + std::to_string(pid) + ")")) << run.err;
    EXPECT_TRUE(readReport(disc.folder + "/b.json")["refused"].toBool());
    EXPECT_EQ(readText(out + "/disc.log").substr(0, log.size()), log);
    EXPECT_FALSE(has(readText(out + "/disc.log"), "arbeitet schon"));

    kill(pid, SIGKILL);
    first.wait(pid);
    EXPECT_TRUE(fs::exists(out + "/disc.lock"));  // left by the killed run, but not held
    run = second.within(60, {"--out", out, "--passes", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_FALSE(has(run.err, "arbeitet schon")) << run.err;
    EXPECT_FALSE(fs::exists(out + "/disc.lock"));
    checkMap(disc, out);
}

// --check-log on the log of several runs: as written, after a kill -9 in
// a later run (a run that did not end, not a change), cut after an earlier
// run's seal, after an edit and after lines added at the end.
TEST_P(RipToolFolderTest, CheckLogTellsAKilledRunFromAnEdit)
{
    Disc disc = slowDisc();
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    const std::string log = out + "/disc.log";
    ASSERT_EQ(tool({"--out", out, "--passes", "1"}).exitCode, 1);
    ASSERT_EQ(tool({"--out", out, "--passes", "1"}).exitCode, 1);
    ToolRun check = tool({"--check-log", log});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    EXPECT_TRUE(has(check.out, "unverändert")) << check.out;
    EXPECT_TRUE(has(check.out, "2 Läufe")) << check.out;
    const std::string sealed = readText(log);

    const pid_t pid = tool.start({"--out", out});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(tool.awaitErr("Durchgang 2"));
    kill(pid, SIGKILL);
    tool.wait(pid);
    check = tool({"--check-log", log});
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_FALSE(has(check.out, "VERÄNDERT")) << check.out;
    EXPECT_TRUE(has(check.out, "nicht zu Ende")) << check.out;

    // Cut right after the first run's seal: the map beside it counts two.
    std::ofstream(log, std::ios::binary | std::ios::trunc)
        << sealed.substr(0, sealed.find('\n', sealed.find("Prüfsumme dieses Protokolls")) + 1);
    check = tool({"--check-log", log});
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_TRUE(has(check.out, "GEKÜRZT")) << check.out;

    std::string edited = sealed;
    edited[edited.find("Laufwerk")] = 'l';
    std::ofstream(log, std::ios::binary | std::ios::trunc) << edited;
    check = tool({"--check-log", log});
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_TRUE(has(check.out, "VERÄNDERT")) << check.out;

    std::ofstream(log, std::ios::binary | std::ios::trunc) << sealed << "alles bestens\n";
    check = tool({"--check-log", log});
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_TRUE(has(check.out, "VERÄNDERT")) << check.out;
}

INSTANTIATE_TEST_SUITE_P(BothTransports, RipToolFolderTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rilvane::riptool
