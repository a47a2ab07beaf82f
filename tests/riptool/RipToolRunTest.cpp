// The real rilvane-rip against virtual discs, on the pass-through (a drive
// letter) and on the ASPI layer: the working copy and the track files
// against the disc image bit for bit, the map after kill -9, resuming and
// merging from a second drive, wrong reads with and without C2 pointers,
// Ctrl+C, a drive that vanishes, and refusals and their exit codes.
#include "RipToolHarness.h"

namespace rilvane::riptool {
namespace {

using namespace test;

// Three tracks with every kind of damage: single bad sectors and a long bad
// stretch (longer than the old error limit) that straddle the read grid, a
// bad end at the lead-out, sectors that read on a later try, and wrong
// reads that the drive flags by C2; the drive has a cache. Everything that
// can be read is, exactly the unreadable sectors are silent, and the report
// and the map say so.
TEST_P(RipToolTest, RescuesEverySectorThatCanBeRead)
{
    const std::vector<Defect> unreadable{
        {200, 200, "03/11/05"}, {305, 314, "03/11/00"},  // one sector; ten across the grid
        {1503, 1612, "03/02/00"},                        // 110 sectors in a row
        {4003, 4007, "03/11/00"},                        // the last five before the lead-out
    };
    std::vector<Defect> damage = unreadable;
    damage.push_back({2000, 2009, "flaky 3"});           // read on the 4th try
    damage.push_back({2701, 2701, "flaky 2 03/02/00"});
    damage.push_back({2500, 2503, "corrupt 2"});         // wrong twice, flagged by C2
    Disc disc({1003, 2000, 1005}, damage, {"cache 1200"});
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    const ToolRun run = tool({"--out", out, "--report", disc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;

    const std::vector<uint8_t> image = expectedImage(disc, sectorsOf(unreadable));
    EXPECT_TRUE(readFile(out + "/disc.bin") == image);
    expectTrackFiles(disc, out, image);

    const QJsonObject report = readReport(disc.folder + "/r.json");
    EXPECT_EQ(reportedSectors(report, "missingRanges"), sectorsOf(unreadable));
    EXPECT_TRUE(reportedSectors(report, "suspectRanges").empty());
    const QJsonObject totals = report["totals"].toObject();
    EXPECT_EQ(totals["missing"].toInt(), 1 + 10 + 110 + 5);
    EXPECT_EQ(totals["retried"].toInt(), 10 + 1 + 4);  // flaky and corrupt ones
    EXPECT_EQ(totals["copied"].toInt() + totals["narrowed"].toInt() + totals["retried"].toInt() +
                  totals["missing"].toInt(),
              disc.leadOut);
    EXPECT_TRUE(report["c2"].toBool());
    // Each unreadable sector read alone eleven times (once narrowing, ten
    // retries), and never more.
    const auto states = checkMap(disc, out);
    for (const int32_t s : sectorsOf(unreadable)) EXPECT_EQ(states.at(s), "failed") << s;
    EXPECT_NE(readText(out + "/disc.map").find("200 failed 11\n"), std::string::npos);

    EXPECT_NE(run.out.find("  fehlt: 00:04.05 - 00:04.15 (Sektor 305 bis 314)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  fehlt: 00:02.50 - 00:02.51 (Sektor 200)"), std::string::npos) << run.out;
    EXPECT_NE(readText(out + "/disc.cue").find("TRACK 03 AUDIO\n    INDEX 01 00:40:03"), std::string::npos);
    // The sealed log gives the same range the same times as the summary.
    const std::string log = readText(out + "/disc.log");
    EXPECT_NE(log.find("Zusammenfassung:"), std::string::npos);
    EXPECT_NE(log.find("00:04.05-00:04.15 (10 Sektoren ab 305)"), std::string::npos) << log;
}

// Wrong reads that answer GOOD: on a drive with C2 pointers they are
// flagged; without them --verify finds them. Either way a sector whose
// readings never become right is reported as suspect, never passed off as
// good, and one that becomes right is exact.
TEST_P(RipToolTest, WrongReadsNeverEndUpUnflagged)
{
    for (const bool c2 : {true, false}) {
        SCOPED_TRACE(c2 ? "drive with C2" : "drive without C2, --verify");
        const std::vector<Defect> stubborn{{1800, 1801, "corrupt 50"}};
        std::vector<Defect> damage = stubborn;
        damage.push_back({700, 703, "corrupt 2"});
        damage.push_back({2400, 2400, "corrupt 1"});
        // Near the end: read again soon after, so only an emptied cache
        // keeps a wrong reading from confirming itself.
        damage.push_back({2990, 2993, "corrupt 2"});
        std::vector<std::string> lines{"cache 300"};
        if (!c2) lines.push_back("c2 no");
        Disc disc({1500, 1500}, damage, lines);
        Tool tool(disc.folder, drives(disc));
        std::vector<std::string> args{"--out", disc.folder + "/out", "--report", disc.folder + "/r.json",
                                      "--retries", "4", "--cache-sectors", "300"};
        if (!c2) args.push_back("--verify");
        const ToolRun run = tool(args);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const QJsonObject report = readReport(disc.folder + "/r.json");
        EXPECT_EQ(report["c2"].toBool(), c2);
        EXPECT_EQ(reportedSectors(report, "suspectRanges"), sectorsOf(stubborn));
        EXPECT_TRUE(reportedSectors(report, "missingRanges").empty());
        // Apart from the flagged ones, the copy is the image.
        std::vector<uint8_t> copy = readFile(disc.folder + "/out/disc.bin");
        std::vector<uint8_t> image = disc.image;
        ASSERT_EQ(copy.size(), image.size());
        for (const int32_t s : sectorsOf(stubborn)) {
            std::fill_n(copy.begin() + s * kSectorBytes, kSectorBytes, 0);
            std::fill_n(image.begin() + s * kSectorBytes, kSectorBytes, 0);
        }
        EXPECT_TRUE(copy == image);
        const auto states = checkMap(disc, disc.folder + "/out");
        for (const int32_t s : sectorsOf(stubborn)) EXPECT_EQ(states.at(s), "suspect") << s;
        if (!c2) {
            EXPECT_EQ(states.at(700), "verified");
        }
        EXPECT_NE(run.out.find("zweifelhaft: "), std::string::npos) << run.out;
    }
}

// kill -9 at random moments: after each one the map is readable and true
// for what is in the working copy, and each run goes on from there; the
// last one finishes the job.
TEST_P(RipToolTest, MapStaysTrueThroughKillsAndResumeFinishes)
{
    std::vector<Defect> slow;
    for (int32_t s = 100; s < 2900; s += 97) slow.push_back({s, s, "flaky 2 03/11/00 30"});
    const std::vector<Defect> bad{{1234, 1236, "03/11/00 20"}};
    slow.insert(slow.end(), bad.begin(), bad.end());
    Disc disc({1500, 1500}, slow);
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    std::mt19937 random(GetParam().name[0]);
    for (int k = 0; k < 6; ++k) {
        const pid_t pid = tool.start({"--out", out, "--retries", "3"});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 900));
        kill(pid, SIGKILL);
        tool.wait(pid);
        if (!fs::exists(out + "/disc.map")) continue;  // killed before it began
        SCOPED_TRACE("after kill " + std::to_string(k));
        checkMap(disc, out);
    }
    const ToolRun run = tool({"--out", out, "--retries", "3", "--report", disc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(readFile(out + "/disc.bin") == expectedImage(disc, sectorsOf(bad)));
    expectTrackFiles(disc, out, expectedImage(disc, sectorsOf(bad)));
    EXPECT_EQ(reportedSectors(readReport(disc.folder + "/r.json"), "missingRanges"), sectorsOf(bad));
}

// What one drive cannot read, a second one with another copy of the disc
// can: the run on the second drive reads only what is missing (everything
// else would make that drive vanish) and completes the disc. A disc with
// another table of contents is refused.
TEST_P(RipToolTest, ResumeOnAnotherDriveReadsOnlyWhatIsMissing)
{
    const std::vector<Defect> bad{{10, 10, "03/11/00"}, {555, 580, "03/11/00"}, {2990, 2999, "03/11/00"}};
    Disc disc({1000, 2000}, bad);
    const std::string out = disc.folder + "/out";
    // The second drive: the same image, and every sector the first one
    // could read makes it vanish.
    const std::string second = disc.folder + "/second.defects";
    {
        std::ofstream map(second);
        int32_t from = 0;
        for (const Defect& d : bad) {
            if (d.first > from) map << from << "-" << d.first - 1 << " gone\n";
            from = d.last + 1;
        }
        if (from < disc.leadOut) map << from << "-" << disc.leadOut - 1 << " gone\n";
    }
    const std::string both = std::string(GetParam().target) + "=" + disc.entry + ";" + GetParam().second + "=" +
                             disc.cue + "," + second;
    Tool tool(disc.folder, both);
    ToolRun run = tool({"--out", out, "--retries", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(readFile(out + "/disc.bin") == expectedImage(disc, sectorsOf(bad)));

    // Only what is missing is read (and read again to confirm it): the
    // second drive has no cache to empty by reading elsewhere.
    run = tool({"--out", out, "--drive", "1", "--report", disc.folder + "/r.json", "--cache-sectors", "0"});
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    const QJsonObject report = readReport(disc.folder + "/r.json");
    EXPECT_FALSE(report["driveGone"].toBool());
    EXPECT_TRUE(report["resumed"].toBool());
    EXPECT_EQ(report["totals"].toObject()["missing"].toInt(), 0);
    EXPECT_EQ(report["totals"].toObject()["earlier"].toInt(), disc.leadOut - 1 - 26 - 10);
    EXPECT_TRUE(readFile(out + "/disc.bin") == disc.image);
    expectTrackFiles(disc, out, disc.image);
    int notGood = 0;
    for (const auto& [s, state] : checkMap(disc, out)) notGood += state != "good" && state != "verified";
    EXPECT_EQ(notGood, 0);

    Disc other({1000, 2001}, {});
    run = Tool(other.folder, drives(other))({"--out", out});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("nicht die CD der Rettung"), std::string::npos) << run.err;
    EXPECT_TRUE(readFile(out + "/disc.bin") == disc.image);
}

// Ctrl+C (and a termination request) in the middle: the reading stops
// between two reads, and the working copy, the map, every track file (full
// length, silence where nothing was read yet) and the report are written.
TEST_P(RipToolTest, InterruptSavesEverything)
{
    std::vector<Defect> slow;
    for (int32_t s = 100; s < 1500; s += 20) slow.push_back({s, s + 9, "03/11/00 150"});
    Disc disc({1500, 600}, slow);
    Tool tool(disc.folder, drives(disc));
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(sig));
        const std::string out = disc.folder + "/out" + std::to_string(sig);
        const pid_t pid = tool.start({"--out", out, "--report", out + ".json"});
        ASSERT_GT(pid, 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readText(tool.errPath()).find("Durchgang 1") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kill(pid, sig);
        const ToolRun run = tool.wait(pid);
        EXPECT_EQ(run.exitCode, 130) << run.err;
        const QJsonObject report = readReport(out + ".json");
        EXPECT_TRUE(report["interrupted"].toBool());
        const auto states = checkMap(disc, out);
        std::set<int32_t> unread;
        for (const auto& [s, state] : states)
            if (state != "good" && state != "verified") unread.insert(s);
        EXPECT_FALSE(unread.empty());
        EXPECT_EQ(reportedSectors(report, "missingRanges"), unread);
        expectTrackFiles(disc, out, expectedImage(disc, unread));
        EXPECT_NE(run.out.find("Abgebrochen"), std::string::npos) << run.out;
    }
}

// The drive is lost, or its disc taken out, in the middle of track 2: the
// program says so, reads no more, and keeps and reports what it rescued.
TEST_P(RipToolTest, VanishedDriveStopsTheReading)
{
    for (const char* how : {"gone", "02/3A/00"}) {
        SCOPED_TRACE(how);
        const std::vector<Defect> gone{{1500, 99999, how}};
        Disc disc({1000, 1000, 1000}, gone);
        Tool tool(disc.folder, drives(disc));
        const ToolRun run = tool({"--out", disc.folder + "/out", "--report", disc.folder + "/r.json"});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const bool driveGone = std::string(how) == "gone";
        EXPECT_NE(run.err.find(driveGone ? "nicht mehr erreichbar" : "Keine CD im Laufwerk"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("No Additional Sense"), std::string::npos) << run.err;
        const QJsonObject report = readReport(disc.folder + "/r.json");
        EXPECT_EQ(report["driveGone"].toBool(), driveGone);
        // One read found the drive gone; none came after it.
        EXPECT_EQ(report["totals"].toObject()["reads"].toInt(), 150 + 1);
        std::set<int32_t> lost;
        for (int32_t s = 1500; s < disc.leadOut; ++s) lost.insert(s);
        EXPECT_EQ(reportedSectors(report, "missingRanges"), lost);
        expectTrackFiles(disc, disc.folder + "/out", expectedImage(disc, lost));
        EXPECT_EQ(checkMap(disc, disc.folder + "/out").at(1500), "untried");
    }
}

// A data track is neither read nor written as audio; chosen tracks only;
// the old flag is still accepted.
TEST_P(RipToolTest, DataTrackAndChosenTracks)
{
    // Drives whose reads take their time: they show that they keep no
    // cache, so a disc shorter than any assumed cache can be verified.
    Disc disc({600, 700, 800}, {}, {"speed 100"}, makedisc::DataTrack::Last);
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    const ToolRun run = tool({"--out", out, "--fill-silence", "--report", disc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(out + "/track02.wav"));
    EXPECT_FALSE(fs::exists(out + "/track03.wav"));
    EXPECT_NE(run.out.find("Track 03: Datentrack"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("Track 03 ist ein Datentrack und wird übersprungen"), std::string::npos) << run.err;
    const ToolRun onlyData = tool({"--tracks", "3", "--out", disc.folder + "/d"});
    EXPECT_EQ(onlyData.exitCode, 3) << onlyData.out;
    EXPECT_NE(onlyData.err.find("Keine Audio-Tracks zu lesen"), std::string::npos) << onlyData.err;
    EXPECT_NE(onlyData.err.find("Track 03 ist ein Datentrack und wird übersprungen"), std::string::npos)
        << onlyData.err;
    EXPECT_FALSE(fs::exists(disc.folder + "/d"));
    const QJsonObject report = readReport(disc.folder + "/r.json");
    EXPECT_TRUE(report["tracks"].toArray()[2].toObject()["dataTrack"].toBool());
    EXPECT_EQ(report["totals"].toObject()["missing"].toInt(), 0);
    EXPECT_NE(readText(out + "/disc.map").find("1300-2099 data"), std::string::npos);

    Disc audio({600, 700, 800}, {}, {"speed 100"});
    const ToolRun chosen = Tool(audio.folder, drives(audio))({"--out", audio.folder + "/k", "--tracks", "2"});
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_FALSE(fs::exists(audio.folder + "/k/track01.wav"));
    const std::vector<uint8_t> track2(audio.image.begin() + 600 * kSectorBytes, audio.image.begin() + 1300 * kSectorBytes);
    expectWav(readFile(audio.folder + "/k/track02.wav"), track2, "track02");
    EXPECT_NE(readText(audio.folder + "/k/disc.map").find("0-599 untried"), std::string::npos);

    // Karaoke changes the track files only, never the working copy.
    Tool audioTool(audio.folder, drives(audio));
    ToolRun run2 = audioTool({"--out", audio.folder + "/kk", "--tracks", "3", "--karaoke"});
    EXPECT_EQ(run2.exitCode, 0) << run2.err;
    std::vector<uint8_t> track3(audio.image.begin() + 1300 * kSectorBytes, audio.image.end());
    EXPECT_TRUE(std::equal(track3.begin(), track3.end(),
                           readFile(audio.folder + "/kk/disc.bin").begin() + 1300 * kSectorBytes));
    applyKaraoke(track3.data(), track3.size() / 4);
    expectWav(readFile(audio.folder + "/kk/track03.wav"), track3, "karaoke");

    // Reading only: a damage map of a clean disc, and no file anywhere.
    run2 = audioTool({"--scan", "--out", audio.folder + "/scan", "--report", audio.folder + "/scan.json"});
    EXPECT_EQ(run2.exitCode, 0) << run2.err;
    EXPECT_FALSE(fs::exists(audio.folder + "/scan"));
    const QJsonObject scan = readReport(audio.folder + "/scan.json");
    EXPECT_TRUE(scan["scan"].toBool());
    EXPECT_EQ(scan["totals"].toObject()["copied"].toInt(), 2100);
    EXPECT_TRUE(scan["tracks"].toArray()[0].toObject()["file"].isNull());
}

// Wrong use ends with 2 before anything is written or read, and a refused
// run writes nothing that looks like a result; no drive or no table of
// contents ends with 3; output that cannot be written is an error.
TEST_P(RipToolTest, RefusalsAndFailedOutput)
{
    Disc disc({300, 300}, {}, {"speed 100"});
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
        {{"--retries", "-1"}, 2},
        {{"--max-time", "1h30"}, 2},
        {{"--scan", "--verify"}, 2},
        {{"--out", out, "--tracks", "1-99", "--report", disc.folder + "/refused.json"}, 2},
        {{"--out", out}, 2},                                  // track02.wav is there already
        {{"--out", out, "--name", "disc.map"}, 2},            // a track file would be the map
        {{"--out", out, "--force", "--report", out + "/track01.wav"}, 2},
        {{"--drive", "1", "--out", out}, 3},                  // one drive only
    };
    for (const Case& c : cases) {
        const ToolRun run = tool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[0] << ": " << run.err;
        EXPECT_FALSE(run.err.empty()) << c.args[0];
        EXPECT_TRUE(run.out.empty()) << c.args[0] << ": " << run.out;
        EXPECT_EQ(readText(out + "/track02.wav"), "keep me");
        EXPECT_FALSE(fs::exists(out + "/track01.wav")) << c.args[0];
        EXPECT_FALSE(fs::exists(out + "/disc.bin")) << c.args[0];
    }
    const QJsonObject refused = readReport(disc.folder + "/refused.json");
    EXPECT_TRUE(refused["refused"].toBool());
    EXPECT_FALSE(refused.contains("tracks"));
    EXPECT_NE(refused["problem"].toString().toStdString().find("Track 3 gibt es nicht"), std::string::npos);

    ToolRun run = tool({"--out", out, "--force"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(out + "/track02.wav").size(), 44 + 300 * kSectorBytes);
    // The next run continues the rescue: its own track files are no obstacle.
    run = tool({"--out", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;

    // With --force a symbolic link at a file's name is replaced, never
    // written through: its target stays as it was, or is not created.
    fs::remove(out + "/track01.wav");
    fs::remove(out + "/track02.wav");
    std::ofstream(disc.folder + "/decoy.txt") << "decoy";
    fs::create_symlink(disc.folder + "/decoy.txt", out + "/track01.wav");
    fs::create_symlink(disc.folder + "/elsewhere.wav", out + "/track02.wav");
    run = tool({"--out", out, "--force"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readText(disc.folder + "/decoy.txt"), "decoy");
    EXPECT_FALSE(fs::exists(disc.folder + "/elsewhere.wav"));
    for (const char* name : {"/track01.wav", "/track02.wav"}) {
        EXPECT_FALSE(fs::is_symlink(out + name)) << name;
        EXPECT_EQ(readFile(out + name).size(), 44 + 300 * kSectorBytes) << name;
    }
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();

    // A report that would overwrite a file is refused the same way.
    run = tool({"--scan", "--report", out + "/track02.wav"});
    EXPECT_EQ(run.exitCode, 2);

    // A summary or a report that cannot be written is an error.
    Tool full(disc.folder, drives(disc));
    run = tool({"--scan", "--report", disc.folder + "/no/such/folder/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;
    if (fs::exists("/dev/full")) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::string program = RILVANE_RIP_PROGRAM, scan = "--scan";
        char* argv[] = {program.data(), scan.data(), nullptr};
        std::vector<std::string> env{"RILVANE_NO_REAL_DRIVES=1", "RILVANE_VIRTUAL_DRIVES=" + drives(disc)};
        char* envp[] = {env[0].data(), env[1].data(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    }

    // A track file that cannot be made is named with the system's reason;
    // the others are written all the same.
    fs::create_directories(disc.folder + "/dir/track01.wav");
    run = tool({"--out", disc.folder + "/dir", "--force"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("Konnte Datei nicht erstellen... (" + disc.folder + "/dir/track01.wav): Is a directory"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(readFile(disc.folder + "/dir/track02.wav").size(), 44 + 300 * kSectorBytes);

    // A file name that is not UTF-8 is named by its bytes in the report.
    run = tool({"--out", disc.folder + "/n", "--name", "t\xff%d.wav", "--report", disc.folder + "/n.json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(disc.folder + "/n/t\xff" "1.wav"));
    const QJsonObject named = readReport(disc.folder + "/n.json");
    EXPECT_TRUE(named["tracks"].toArray()[0].toObject()["fileHex"].toString().endsWith("74ff312e776176"));

    run = Tool(disc.folder, "")({"--scan"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("Es wurden keine CD-Laufwerke gefunden!"), std::string::npos) << run.err;

    Disc noToc({300}, {}, {"toc 05/24/00"});
    run = Tool(noToc.folder, drives(noToc))({"--out", noToc.folder + "/out", "--report", noToc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_FALSE(fs::exists(noToc.folder + "/out"));
    EXPECT_FALSE(readReport(noToc.folder + "/r.json")["problem"].toString().isEmpty());
}

// --passes and --max-time end the rescue early; what is left is reported
// as missing and the next run goes on.
TEST_P(RipToolTest, PassesAndTimeLimit)
{
    const std::vector<Defect> flaky{{400, 409, "flaky 2"}};
    Disc disc({1000}, flaky, {"speed 100"});
    Tool tool(disc.folder, drives(disc));
    const std::string out = disc.folder + "/out";
    ToolRun run = tool({"--out", out, "--passes", "2", "--report", disc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(reportedSectors(readReport(disc.folder + "/r.json"), "missingRanges"), sectorsOf(flaky));
    run = tool({"--out", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(readFile(out + "/disc.bin") == disc.image);

    std::vector<Defect> slow;
    for (int32_t s = 0; s < 1000; s += 10) slow.push_back({s, s, "03/11/00 100"});
    Disc slowDisc({1000}, slow);
    const auto started = std::chrono::steady_clock::now();
    run = Tool(slowDisc.folder, drives(slowDisc))(
        {"--out", slowDisc.folder + "/out", "--max-time", "1s", "--report", slowDisc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_TRUE(readReport(slowDisc.folder + "/r.json")["timeUp"].toBool());
}

// Drives that break the engine's old assumptions: a cache larger than it
// assumed (with and without FUA), no C2, lying C2, C2 only in the other
// form. Whatever the drive, the files end exact, nothing wrong is ever
// called good, the cache is measured within a quarter of its size, and the
// report says which C2 was used and whether it was trusted. One test per
// kind of drive: each reads its disc at a measurable speed, which takes time.
struct ProvingDrive {
    std::vector<std::string> lines;
    int cache;
    bool fua;
    int c2Bytes;
    bool trusted;
};

class RipToolProofTest : public RipToolTest {
protected:
    void believesOnlyWhatTheDriveProves(const ProvingDrive& d)
    {
        const std::vector<Defect> wrong{{1000, 1009, "corrupt 2"}, {4000, 4004, "corrupt 1"}, {7500, 7500, "corrupt 3"}};
        Disc disc({3000, 3000, 3000}, wrong, d.lines);
        Tool tool(disc.folder, drives(disc));
        const std::string out = disc.folder + "/out";
        const ToolRun run = tool({"--out", out, "--report", disc.folder + "/r.json"});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("Die CD ist vollständig gerettet"), std::string::npos) << run.out;
        EXPECT_TRUE(readFile(out + "/disc.bin") == disc.image);
        expectTrackFiles(disc, out, disc.image);
        checkMap(disc, out);
        const QJsonObject report = readReport(disc.folder + "/r.json");
        EXPECT_EQ(report["c2Bytes"].toInt(), d.c2Bytes);
        EXPECT_EQ(report["c2Trusted"].toBool(), d.trusted);
        const QJsonObject cache = report["cache"].toObject();
        EXPECT_TRUE(cache["measured"].toBool()) << cache["how"].toString().toStdString();
        EXPECT_LE(std::abs(cache["sectors"].toInt() - d.cache), d.cache / 4) << cache["how"].toString().toStdString();
        EXPECT_EQ(cache["fua"].toBool(), d.fua);
        EXPECT_NE(readText(out + "/disc.log").find("Puffer des Laufwerks: etwa"), std::string::npos);
        EXPECT_EQ(report["totals"].toObject()["unconfirmed"].toInt(), 0);
    }
};

TEST_P(RipToolProofTest, BelievesOnlyWhatTheDriveProvesWithoutC2)
{
    believesOnlyWhatTheDriveProves({{"speed 100", "c2 no", "cache 5000"}, 5000, false, 0, false});
}

TEST_P(RipToolProofTest, BelievesOnlyWhatTheDriveProvesWithoutC2ButWithFua)
{
    believesOnlyWhatTheDriveProves({{"speed 100", "c2 no", "cache 3000 fua"}, 3000, true, 0, false});
}

TEST_P(RipToolProofTest, BelievesOnlyWhatTheDriveProvesWithLyingC2)
{
    believesOnlyWhatTheDriveProves({{"speed 100", "c2 lies", "cache 3000"}, 3000, false, 294, false});
}

TEST_P(RipToolProofTest, BelievesOnlyWhatTheDriveProvesWithC2OnlyWithTheBlockErrorByte)
{
    believesOnlyWhatTheDriveProves({{"speed 100", "c2 296", "cache 5000"}, 5000, false, 296, true});
}

INSTANTIATE_TEST_SUITE_P(BothTransports, RipToolProofTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

// Where nothing can confirm a reading (the cache is larger than the disc
// and reads take no time, or --no-verify), the sectors are counted and
// named as not confirmed, the verdict says so and the exit status is 1;
// no wrong sector is called verified.
TEST_P(RipToolTest, UnconfirmedSectorsAreCountedNotPassedOff)
{
    const std::vector<Defect> wrong{{100, 104, "corrupt 2"}};
    Disc small({500, 500}, wrong, {"c2 no", "cache 1200"});
    Tool tool(small.folder, drives(small));
    ToolRun run = tool({"--out", small.folder + "/out", "--report", small.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.out.find("wurden gelesen, aber nicht bestätigt"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("lässt sich nicht leeren"), std::string::npos) << run.err;
    QJsonObject report = readReport(small.folder + "/r.json");
    const std::set<int32_t> unconfirmed = reportedSectors(report, "unconfirmedRanges");
    const auto states = checkMap(small, small.folder + "/out", false);
    for (const int32_t s : sectorsOf(wrong)) {
        EXPECT_NE(states.at(s), "verified") << s;
        EXPECT_TRUE(unconfirmed.count(s) || states.at(s) == "suspect") << s;
    }
    EXPECT_EQ(report["totals"].toObject()["unconfirmed"].toInt(), static_cast<int>(unconfirmed.size()));

    Disc healthy({1500, 1500}, {}, {"c2 no"});
    Tool second(healthy.folder, drives(healthy));
    run = second({"--out", healthy.folder + "/out", "--report", healthy.folder + "/r.json", "--no-verify"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.out.find("3000 Sektoren wurden gelesen, aber nicht bestätigt (ohne Prüfen, --no-verify)"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(readReport(healthy.folder + "/r.json")["totals"].toObject()["unconfirmed"].toInt(), 3000);
    // Verifying afterwards, in the same folder, confirms them.
    run = second({"--out", healthy.folder + "/out", "--report", healthy.folder + "/r2.json"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(readReport(healthy.folder + "/r2.json")["totals"].toObject()["verified"].toInt(), 3000);
}

// Sectors that read only at 8x or slower: the copy pass runs at the top
// speed, narrowing at the retry speed recovers them, and the drive is set
// back to its top speed at the end, also after Ctrl+C in the retries. A
// retry speed they do not read at leaves them missing.
TEST_P(RipToolTest, SlowSectorsAreReadSlowerAndTheSpeedIsSetBack)
{
    const std::vector<Defect> slow{{2000, 2009, "slow 8"}};
    Disc disc({1500, 1500}, slow, {"speed 40", "cache 500"});
    Tool tool(disc.folder, drives(disc));
    ToolRun run = tool({"--out", disc.folder + "/out"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(readFile(disc.folder + "/out/disc.bin") == disc.image);
    EXPECT_NE(run.err.find("Geschwindigkeit für Kopieren: Höchstgeschwindigkeit erbeten, 40× gewährt"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Geschwindigkeit für Eingrenzen und Wiederholen: 8× erbeten, 8× gewährt"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Geschwindigkeit für den Schluss: Höchstgeschwindigkeit erbeten, 40× gewährt"),
              std::string::npos)
        << run.err;

    run = tool({"--out", disc.folder + "/fast", "--retry-speed", "16", "--report", disc.folder + "/r.json"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(reportedSectors(readReport(disc.folder + "/r.json"), "missingRanges"), sectorsOf(slow));

    // Ctrl+C while the retries run slowly.
    Disc stubborn({1500, 1500}, {{2000, 2009, "03/11/00 100"}}, {"speed 40"});
    Tool third(stubborn.folder, drives(stubborn));
    const pid_t pid = third.start({"--out", stubborn.folder + "/out"});
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (readText(third.errPath()).find("Durchgang 2") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    run = third.wait(pid);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    const size_t slower = run.err.find("Eingrenzen und Wiederholen: 8× erbeten");
    const size_t back = run.err.find("Geschwindigkeit für den Schluss: Höchstgeschwindigkeit erbeten, 40× gewährt");
    EXPECT_NE(slower, std::string::npos) << run.err;
    EXPECT_NE(back, std::string::npos) << run.err;
    EXPECT_LT(slower, back);
}

INSTANTIATE_TEST_SUITE_P(BothTransports, RipToolTest, ::testing::ValuesIn(kTransports),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rilvane::riptool
