#include "rip/RipSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FakeSessionWindow.h"
#include "TestDiscs.h"
#include "audio/Karaoke.h"

namespace rilvane::test {
namespace {

constexpr size_t kBlock = 23520;

using Lines = std::vector<std::string>;

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t off)
{
    return b[off] | (b[off + 1] << 8) | (b[off + 2] << 16) | (uint32_t(b[off + 3]) << 24);
}

DriveRecord letter(char l)
{
    DriveRecord d;
    d.letter = l;
    return d;
}

DriveRecord aspiDrive()
{
    DriveRecord d;
    d.adapterId = 0;
    d.targetId = 1;
    return d;
}

// The audio the disc holds for the read blocks starting at `blocks`.
std::vector<uint8_t> expectedAudio(const std::string& bin, const std::vector<int32_t>& blocks)
{
    std::vector<uint8_t> out;
    for (int32_t s : blocks) {
        auto b = TestDiscs::sectors(bin, s, 10);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

std::vector<int32_t> blockStarts(int32_t from, int32_t to, std::vector<std::pair<int32_t, int32_t>> skip = {})
{
    std::vector<int32_t> out;
    for (int32_t s = from; s < to; s += 10) {
        bool skipped = false;
        for (auto [a, b] : skip) skipped = skipped || (s >= a && s < b);
        if (!skipped) out.push_back(s);
    }
    return out;
}

void expectFinishedFile(const std::vector<uint8_t>& file, size_t audioBytes)
{
    ASSERT_EQ(file.size(), 44 + audioBytes);
    EXPECT_EQ(u32At(file, 4), 36 + audioBytes);
    EXPECT_EQ(u32At(file, 40), audioBytes);
}

bool soxAccepts(const std::string& path)
{
    if (std::system("command -v sox >/dev/null 2>&1") != 0) return true;  // nothing to ask
    return std::system(("sox --i '" + path + "' >/dev/null 2>&1").c_str()) == 0;
}

class RipSessionTest : public ::testing::Test {
protected:
    void SetUp() override { path = TestDiscs::get().folder + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".wav"; }
    std::string path;
    FakeSessionWindow window;
};

TEST_F(RipSessionTest, FirstTrackOverPassThroughRipsSlotOneUpToSlotTwo)
{
    const auto& d = TestDiscs::get();
    RipSession(window, window.reading, letter('D'), TransportMode::Spti, 1).run(path);

    EXPECT_EQ(window.lines, (Lines{"TOC eingelesen...", "3 Tracks gefunden...", "Starte Ripping...", "Ripping beendet..."}));
    // 1003 sectors are 101 read blocks; the last one reaches 7 sectors into track 2.
    const auto file = readFile(path);
    expectFinishedFile(file, 101 * kBlock);
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), expectedAudio(d.plainBin, blockStarts(0, 1003)).begin()));
    EXPECT_EQ(window.reading.currentSector, 1010);
    EXPECT_EQ(window.position, 1010);
    EXPECT_EQ(window.reading.trackTable.count, 3);
    EXPECT_TRUE(soxAccepts(path));
}

TEST_F(RipSessionTest, FirstTrackOverAspiGivesTheSameFile)
{
    const auto& d = TestDiscs::get();
    RipSession(window, window.reading, aspiDrive(), TransportMode::Aspi, 1).run(path);
    EXPECT_EQ(window.lines, (Lines{"TOC eingelesen...", "3 Tracks gefunden...", "Starte Ripping...", "Ripping beendet..."}));
    const auto file = readFile(path);
    expectFinishedFile(file, 101 * kBlock);
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), expectedAudio(d.plainBin, blockStarts(0, 1003)).begin()));
}

// A block that arrives short is a failed block on both transports: the file
// holds every other block of the track and nothing of the stale remainder.
TEST_F(RipSessionTest, ABlockThatArrivesShortIsLeftOutOnBothTransports)
{
    const auto& d = TestDiscs::get();
    const auto expected = expectedAudio(d.shortBin, blockStarts(0, 300, {{100, 110}}));
    DriveRecord aspiShort;
    aspiShort.targetId = 3;
    struct Case {
        DriveRecord drive;
        TransportMode mode;
        const char* failure;
    };
    for (const Case& c : {Case{letter('H'), TransportMode::Spti, "Fehler: nur 4704 von 23520 Bytes gelesen, Block verworfen..."},
                          Case{aspiShort, TransportMode::Aspi, "Fehler 4 beim Ausführen des SCSI Kommandos..."}}) {
        FakeSessionWindow rip;
        RipSession(rip, rip.reading, c.drive, c.mode, 1).run(path);
        EXPECT_EQ(rip.lines, (Lines{"TOC eingelesen...", "1 Tracks gefunden...", "Starte Ripping...", c.failure,
                                    "Ripping beendet..."}));
        const auto file = readFile(path);
        expectFinishedFile(file, 29 * kBlock);
        EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), expected.begin(), expected.end()));
    }
}

TEST_F(RipSessionTest, LastTrackHoldsExactlyTheTrackUpToTheLeadOutOnBothTransports)
{
    const auto& d = TestDiscs::get();
    const int32_t start = d.plainStarts[2];
    // Track 3 is 1005 sectors: 100 whole blocks, then one of the 5 sectors
    // before the lead-out.
    const auto expected = TestDiscs::sectors(d.plainBin, start, d.plainLeadOut - start);
    ASSERT_EQ(expected.size(), 1005u * 2352u);
    for (const auto& [drive, mode] : {std::pair{letter('D'), TransportMode::Spti}, std::pair{aspiDrive(), TransportMode::Aspi}}) {
        FakeSessionWindow w;
        RipSession(w, w.reading, drive, mode, 3).run(path);
        EXPECT_EQ(w.lines, (Lines{"TOC eingelesen...", "3 Tracks gefunden...", "Starte Ripping...", "Ripping beendet..."}));
        const auto file = readFile(path);
        expectFinishedFile(file, expected.size());
        EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), expected.begin(), expected.end()));
        EXPECT_EQ(w.reading.currentSector, start + 1010);
        EXPECT_TRUE(soxAccepts(path));
    }
}

// A refused track number leaves the chosen name as it was: an older file
// there stays whole, and where there was none, none is made.
TEST_F(RipSessionTest, TrackNumberAboveTheCountIsRefusedAndTheNameKeepsWhatItHad)
{
    for (const bool older : {true, false}) {
        SCOPED_TRACE(older ? "an older file" : "no file");
        std::remove(path.c_str());
        if (older) std::ofstream(path) << "an older rip";
        FakeSessionWindow w;
        RipSession(w, w.reading, letter('D'), TransportMode::Spti, 4).run(path);
        EXPECT_EQ(w.lines, (Lines{"TOC eingelesen...", "Ungültige Track-Nummer..."}));
        if (older) {
            const auto file = readFile(path);
            EXPECT_EQ(std::string(file.begin(), file.end()), "an older rip");
        } else {
            EXPECT_NE(access(path.c_str(), F_OK), 0);
        }
    }
}

// The folder removed in the middle of the rip: the file has no name any
// more, and the log says the write failed instead of reporting success.
TEST_F(RipSessionTest, AFolderRemovedDuringTheRipIsAFailedWrite)
{
    const std::string folder = TestDiscs::get().folder + "/removed";
    mkdir(folder.c_str(), 0755);
    window.onPump = [&](int pump) {
        if (pump == 20) std::filesystem::remove_all(folder);
    };
    RipSession(window, window.reading, letter('D'), TransportMode::Spti, 1).run(folder + "/track.wav");
    EXPECT_EQ(window.lines,
              (Lines{"TOC eingelesen...", "3 Tracks gefunden...", "Starte Ripping...",
                     "Fehler beim Schreiben der WAV-Datei (Datenträger voll oder entfernt?)! Ripping abgebrochen...",
                     "Ripping beendet..."}));
    EXPECT_NE(access(folder.c_str(), F_OK), 0);
}

TEST_F(RipSessionTest, ScratchedTrackSkipsFailedBlocksAndStopsAfterElevenInARow)
{
    const auto& d = TestDiscs::get();
    RipSession(window, window.reading, letter('E'), TransportMode::Spti, 1).run(path);

    const auto errors = std::count_if(window.lines.begin(), window.lines.end(),
                                      [](const std::string& l) { return l.rfind("Fehler: SCSI Status 2; Code:3;11;", 0) == 0; });
    EXPECT_EQ(errors, 10 + 10 + 11);
    EXPECT_EQ(window.lines.back(), "Ripping beendet...");
    EXPECT_TRUE(window.reading.stopRequest);
    // Ten failures then a good block go on; eleven end the rip after 1100.
    const auto good = blockStarts(0, 1000, {{200, 300}, {310, 410}});
    const auto file = readFile(path);
    expectFinishedFile(file, good.size() * kBlock);
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), expectedAudio(d.scratchedBin, good).begin()));
    EXPECT_EQ(window.reading.currentSector, 1110);
    EXPECT_TRUE(soxAccepts(path));
}

TEST_F(RipSessionTest, StopDuringTheRipFinishesTheFileWithTheBlocksReadSoFar)
{
    window.onPump = [this](int pump) {
        if (pump == 5) window.reading.stopRequest = true;  // Stop clicked while the fifth read waits for its turn
    };
    RipSession(window, window.reading, letter('D'), TransportMode::Spti, 2).run(path);
    const int32_t s = TestDiscs::get().plainStarts[1];
    EXPECT_EQ(window.lines.back(), "Ripping beendet...");
    // The fifth read is not made: the Stop came before it.
    expectFinishedFile(readFile(path), 4 * kBlock);
    EXPECT_EQ(window.reading.currentSector, s + 40);
    EXPECT_EQ(window.position, s + 40);
}

// Stop while the drive keeps saying it is becoming ready: the waiting ends,
// nothing is read, and no file is made: a file of that name stays as it was.
TEST_F(RipSessionTest, StopWhileTheDriveGetsReadySavesNothingOnBothTransports)
{
    for (const TransportMode mode : {TransportMode::Spti, TransportMode::Aspi}) {
        {
            std::ofstream old(path, std::ios::binary);
            old << "older file";
        }
        DriveRecord drive = mode == TransportMode::Spti ? letter('I') : aspiDrive();
        if (mode == TransportMode::Aspi) drive.targetId = 4;
        FakeSessionWindow w;
        w.onPump = [&w](int pump) {
            if (pump == 3) w.reading.stopRequest = true;
        };
        RipSession(w, w.reading, drive, mode, 1).run(path);
        EXPECT_EQ(w.pumps, 3);
        ASSERT_FALSE(w.lines.empty());
        EXPECT_EQ(w.lines.back(), "Ripping abgebrochen, nichts gespeichert...");
        EXPECT_EQ(std::count(w.lines.begin(), w.lines.end(), "Starte Ripping..."), 0);
        const auto kept = readFile(path);
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "older file");
    }
}

TEST_F(RipSessionTest, KaraokeTakesEffectFromTheNextBlock)
{
    const auto& d = TestDiscs::get();
    RipSession rip(window, window.reading, letter('D'), TransportMode::Spti, 1);
    window.onPump = [&rip](int pump) { rip.setKaraoke(pump >= 3); };
    rip.run(path);
    const auto file = readFile(path);
    auto expected = expectedAudio(d.plainBin, blockStarts(0, 1003));
    for (size_t b = 2; b < 101; ++b) applyKaraoke(expected.data() + b * kBlock, kBlock / 4);
    ASSERT_EQ(file.size(), 44 + expected.size());
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), expected.begin()));
}

TEST_F(RipSessionTest, UnreadableTableOfContentsReadsNothing)
{
    RipSession(window, window.reading, letter('F'), TransportMode::Spti, 1).run(path);
    EXPECT_EQ(window.lines, (Lines{"Konnte TOC nicht lesen...",
                                   "Fehler: SCSI Status 2; Code:5;24;0 \"Illegal Request: invalid field in cdb\"",
                                   "Starte Ripping...", "Ripping beendet..."}));
    expectFinishedFile(readFile(path), 0);
    EXPECT_EQ(window.reading.trackTable.count, 1);
    EXPECT_EQ(window.reading.trackTable.slot(1), 500);
    EXPECT_EQ(window.reading.trackTable.slot(2), 450000);
}

TEST_F(RipSessionTest, UnreadableTableOfContentsReadsNothingEvenFromANegativePosition)
{
    window.position = -50;
    RipSession(window, window.reading, letter('F'), TransportMode::Spti, 1).run(path);
    EXPECT_EQ(window.lines, (Lines{"Konnte TOC nicht lesen...",
                                   "Fehler: SCSI Status 2; Code:5;24;0 \"Illegal Request: invalid field in cdb\"",
                                   "Starte Ripping...", "Ripping beendet..."}));
    EXPECT_EQ(window.pumps, 0);
    expectFinishedFile(readFile(path), 0);
}

TEST_F(RipSessionTest, DriveThatCannotBeOpenedGivesAHeaderOnlyFile)
{
    RipSession(window, window.reading, letter('Q'), TransportMode::Spti, 1).run(path);
    EXPECT_EQ(window.lines, (Lines{"Kein Laufwerkszugriff über SPTI möglich...", "Ripping beendet..."}));
    expectFinishedFile(readFile(path), 0);
}

TEST_F(RipSessionTest, FileThatCannotBeCreatedIsReportedAndNothingIsRead)
{
    RipSession(window, window.reading, letter('D'), TransportMode::Spti, 1)
        .run(TestDiscs::get().folder + "/no/such/folder.wav");
    EXPECT_EQ(window.lines, (Lines{"Konnte Datei nicht erstellen..."}));
    EXPECT_EQ(window.pumps, 0);
}

// Run only with the ASPI layer hidden (RILVANE_LIBRARY_DIR pointing at an
// empty folder), see CMakeLists.txt.
// Nothing but a regular file is written to: a FIFO (with or without a
// reader), a device or a folder is refused at once, nothing waits, nothing
// is read from the drive.
TEST_F(RipSessionTest, TargetThatIsNoRegularFileIsRefusedWithoutWaiting)
{
    const std::string fifo = path + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const bool reader : {false, true}) {
        const int readEnd = reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        for (const std::string& target : {fifo, std::string("/dev/null"), TestDiscs::get().folder}) {
            FakeSessionWindow w;
            RipSession(w, w.reading, letter('D'), TransportMode::Spti, 1).run(target);
            EXPECT_EQ(w.lines, (Lines{"Konnte Datei nicht erstellen..."})) << target;
            EXPECT_EQ(w.pumps, 0);
        }
        if (readEnd >= 0) close(readEnd);
    }
    unlink(fifo.c_str());
}

TEST_F(RipSessionTest, MissingAspiLayerGivesAHeaderOnlyFile)
{
    if (!std::getenv("RILVANE_TEST_NO_ASPI")) GTEST_SKIP() << "needs the ASPI layer hidden";
    RipSession(window, window.reading, aspiDrive(), TransportMode::Aspi, 1).run(path);
    ASSERT_EQ(window.lines.size(), 2u);
    EXPECT_EQ(window.lines[0].rfind("Konnte ASPI Layer nicht laden. Downloaden Sie den ASPI-Treiber von ", 0), 0u);
    EXPECT_EQ(window.lines[0].back(), '!');
    EXPECT_EQ(window.lines[1], "Ripping beendet...");
    expectFinishedFile(readFile(path), 0);
}

// A disk that fills up in the middle of the rip: the failure is logged, the
// rip stops, and the file's header describes exactly the blocks it holds.
TEST_F(RipSessionTest, DiskFullStopsTheRipAndLeavesAConsistentFile)
{
    TestDiscs::get();
    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(pipeFd[0]);
        rlimit lim{};
        lim.rlim_cur = lim.rlim_max = 44 + 7 * kBlock + 500;
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(10);
        FakeSessionWindow child;
        RipSession(child, child.reading, letter('D'), TransportMode::Spti, 1).run(path);
        std::string all;
        for (const auto& l : child.lines) all += l + "\n";
        if (write(pipeFd[1], all.data(), all.size()) != static_cast<ssize_t>(all.size())) _exit(11);
        _exit(child.reading.currentSector == 80 ? 0 : 12);
    }
    close(pipeFd[1]);
    std::string output;
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_EQ(output,
              "TOC eingelesen...\n3 Tracks gefunden...\nStarte Ripping...\n"
              "Fehler beim Schreiben der WAV-Datei (Datenträger voll oder entfernt?)! Ripping abgebrochen...\n"
              "Ripping beendet...\n");
    const auto file = readFile(path);
    expectFinishedFile(file, 7 * kBlock);
    EXPECT_TRUE(soxAccepts(path));
}

}  // namespace
}  // namespace rilvane::test
