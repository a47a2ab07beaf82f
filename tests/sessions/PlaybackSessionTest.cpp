#include "playback/PlaybackSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "FakeSessionWindow.h"
#include "TestDiscs.h"
#include "playback/DSound.h"
#include "playback/SoundOutput.h"

// The sessions play into ALSA's null device (see CMakeLists.txt): it takes
// the sound as fast as it comes, so the handoffs never hold a test up. What
// is checked here is the session around the sound: lines, positions, the
// error limit, the handoffs. The sound itself is checked bit for bit by the
// window and end-to-end tests.
namespace rilvane::test {
namespace {

using Lines = std::vector<std::string>;

class PlaybackSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        library = new DSound;
        sound = new SoundOutput;
        ASSERT_TRUE(sound->setUp(library->DirectSoundCreate, nullptr));
    }
    static void TearDownTestSuite()
    {
        delete sound;
        delete library;
        sound = nullptr;
        library = nullptr;
    }

    static DriveRecord letter(char l)
    {
        DriveRecord d;
        d.letter = l;
        return d;
    }
    static DriveRecord aspiDrive()
    {
        DriveRecord d;
        d.targetId = 1;
        return d;
    }
    static long errorLines(const Lines& lines, const std::string& prefix)
    {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    // Calls visit(bytes, count) for each region of the whole sound buffer, locked.
    template <typename Visit>
    static void visitSoundBuffer(Visit visit)
    {
        LPVOID p[2] = {};
        DWORD n[2] = {};
        ASSERT_EQ(sound->soundBuffer()->Lock(0, 0, &p[0], &n[0], &p[1], &n[1], DSBLOCK_ENTIREBUFFER), DS_OK);
        for (int r = 0; r < 2; ++r)
            if (p[r]) visit(static_cast<uint8_t*>(p[r]), n[r]);
        sound->soundBuffer()->Unlock(p[0], n[0], p[1], n[1]);
    }
    bool playing() const
    {
        DWORD status = 0;
        sound->soundBuffer()->GetStatus(&status);
        return status & DSBSTATUS_PLAYING;
    }

    static DSound* library;
    static SoundOutput* sound;
    FakeSessionWindow window;
};

DSound* PlaybackSessionTest::library = nullptr;
SoundOutput* PlaybackSessionTest::sound = nullptr;

TEST_F(PlaybackSessionTest, StopEndsThePlaybackBeforeTheNextRead)
{
    window.position = 100;
    window.onPump = [this](int) {
        EXPECT_TRUE(playing());
        // Stop pressed before the 23rd read. The pump also runs while a
        // handoff waits, so the read is told by its sector, not the count.
        if (window.reading.currentSector == 100 + 22 * 10) window.reading.stopRequest = true;
    };
    PlaybackSession(window, window.reading, *sound, letter('D'), TransportMode::Spti).run();

    // The stop wins over the read it came before.
    EXPECT_EQ(window.lines, (Lines{"TOC eingelesen...", "3 Tracks gefunden...", "Wiedergabe gestoppt..."}));
    EXPECT_EQ(window.reading.currentSector, 100 + 22 * 10);
    EXPECT_EQ(window.position, 100 + 22 * 10);
    EXPECT_EQ(window.waveforms, 4);  // a handoff after every fifth good block
    EXPECT_EQ(window.reading.trackTable.count, 3);
    EXPECT_FALSE(playing());
}

TEST_F(PlaybackSessionTest, ElevenFailedReadsInARowEndThePlayback)
{
    // Sectors 1000..1109 of the scratched disc fail.
    window.position = 1000;
    PlaybackSession(window, window.reading, *sound, letter('E'), TransportMode::Spti).run();
    ASSERT_EQ(window.lines.size(), 2u + 11u + 1u);
    EXPECT_EQ(errorLines(window.lines, "Fehler: SCSI Status 2; Code:3;11;0 \"Medium Error: unrecovered read error\""), 11);
    EXPECT_EQ(window.lines.back(), "Wiedergabe gestoppt...");
    EXPECT_EQ(window.reading.currentSector, 1110);
    EXPECT_EQ(window.position, 1110);
    EXPECT_TRUE(window.reading.stopRequest);
}

TEST_F(PlaybackSessionTest, TenFailuresAGoodReadAndTenMoreGoOn)
{
    // 200..299 and 310..409 fail, 300 reads; stopped by hand later on.
    window.position = 200;
    window.onPump = [this](int) {
        if (window.reading.currentSector == 200 + 39 * 10) window.reading.stopRequest = true;
    };
    PlaybackSession(window, window.reading, *sound, letter('E'), TransportMode::Spti).run();
    EXPECT_EQ(errorLines(window.lines, "Fehler: SCSI Status 2;"), 20);
    EXPECT_EQ(window.reading.currentSector, 200 + 390);  // no read after the Stop
}

TEST_F(PlaybackSessionTest, AspiBranchReportsFailedReadsWithTheRequestStatus)
{
    window.position = 3990;  // the disc ends at 4008: the reads from 4010 on are refused
    PlaybackSession(window, window.reading, *sound, aspiDrive(), TransportMode::Aspi).run();
    EXPECT_EQ(window.lines.front(), "TOC eingelesen...");
    EXPECT_EQ(window.lines[1], "3 Tracks gefunden...");
    EXPECT_EQ(errorLines(window.lines, "Fehler 4 beim Ausführen des SCSI Kommandos..."), 11);
    EXPECT_EQ(window.lines.back(), "Wiedergabe gestoppt...");
    // Two good reads (3990, then 4000 up to the lead-out), then eleven refused ones.
    EXPECT_EQ(window.reading.currentSector, 3990 + 13 * 10);
}

TEST_F(PlaybackSessionTest, EndOfTheDiscPlaysUpToTheLeadOutThenSilenceOnBothTransports)
{
    const auto& d = TestDiscs::get();
    // Five blocks before the error limit ends it: four whole ones and the 5
    // sectors before the lead-out, filled up with silence to a whole block.
    std::vector<uint8_t> expected = TestDiscs::sectors(d.plainBin, d.plainLeadOut - 45, 45);
    expected.resize(117600, 0);
    for (const auto& [drive, mode] : {std::pair{letter('D'), TransportMode::Spti}, std::pair{aspiDrive(), TransportMode::Aspi}}) {
        FakeSessionWindow w;
        w.position = d.plainLeadOut - 45;
        PlaybackSession(w, w.reading, *sound, drive, mode).run();
        // Over ASPI each refused read adds the drive's reason to the status line.
        ASSERT_EQ(w.lines.size(), 2u + (mode == TransportMode::Aspi ? 22u : 11u) + 1u);
        EXPECT_EQ(w.lines.back(), "Wiedergabe gestoppt...");
        EXPECT_EQ(w.waveforms, 1);
        EXPECT_TRUE(w.lastStaging == expected);
        EXPECT_EQ(w.reading.currentSector, d.plainLeadOut - 45 + 16 * 10);
    }
}

TEST_F(PlaybackSessionTest, UnreadableTableOfContentsStillPlaysFromThePosition)
{
    window.position = 0;
    window.reading.trackTable.slot(1) = 77;
    window.reading.trackTable.count = 5;
    window.onPump = [this](int pump) {
        if (pump == 3) window.reading.stopRequest = true;
    };
    PlaybackSession(window, window.reading, *sound, letter('F'), TransportMode::Spti).run();
    EXPECT_EQ(window.lines, (Lines{"Konnte TOC nicht lesen...",
                                   "Fehler: SCSI Status 2; Code:5;24;0 \"Illegal Request: invalid field in cdb\"",
                                   "Wiedergabe gestoppt..."}));
    EXPECT_EQ(window.reading.trackTable.slot(1), 500);
    EXPECT_EQ(window.reading.trackTable.count, 1);
    EXPECT_EQ(window.reading.currentSector, 20);
}

// A drive that has just been given its disc: no disc yet, then becoming
// ready, then the disc change, its sense in descriptor format: the table of
// contents is asked for again until the drive reads it, and the reads go on.
TEST_F(PlaybackSessionTest, ADriveJustGivenItsDiscAnswersLikeARealOne)
{
    window.position = 0;
    window.onPump = [this](int) {
        if (window.reading.currentSector == 11 * 10) window.reading.stopRequest = true;
    };
    PlaybackSession(window, window.reading, *sound, letter('G'), TransportMode::Spti).run();
    EXPECT_EQ(window.lines,
              (Lines{"TOC eingelesen...", "1 Tracks gefunden...",
                     "Fehler: SCSI Status 2; Code:3;11;5 \"Medium Error: l-ec uncorrectable error\"",
                     "Wiedergabe gestoppt..."}));
    EXPECT_EQ(window.reading.currentSector, 110);
}

// A drive that keeps saying it is becoming ready: the window's messages run
// while the table of contents waits for it, and Stop ends the waiting at
// once; nothing is read.
TEST_F(PlaybackSessionTest, StopEndsTheWaitForADriveThatKeepsGettingReadyOnBothTransports)
{
    for (const auto& [drive, mode] : {std::pair{letter('I'), TransportMode::Spti},
                                      std::pair{DriveRecord{}, TransportMode::Aspi}}) {
        DriveRecord chosen = drive;
        if (mode == TransportMode::Aspi) chosen.targetId = 4;
        FakeSessionWindow w;
        w.position = 0;
        w.onPump = [&w](int pump) {
            if (pump == 3) w.reading.stopRequest = true;
        };
        PlaybackSession(w, w.reading, *sound, chosen, mode).run();
        EXPECT_EQ(w.pumps, 3);
        ASSERT_GE(w.lines.size(), 3u);
        EXPECT_EQ(w.lines.back(), "Wiedergabe gestoppt...");
        EXPECT_TRUE(w.shown.empty()) << "a read after the Stop";
        EXPECT_EQ(std::count_if(w.lines.begin(), w.lines.end(),
                                [](const std::string& l) { return l.find("Code:2;4;1") != std::string::npos; }),
                  1);
    }
}

TEST_F(PlaybackSessionTest, AReadThatSucceedsShortIsAFailedBlock)
{
    window.position = 80;
    window.onPump = [this](int pump) {
        if (pump == 4) window.reading.stopRequest = true;
    };
    PlaybackSession(window, window.reading, *sound, letter('H'), TransportMode::Spti).run();
    EXPECT_EQ(window.lines, (Lines{"TOC eingelesen...", "1 Tracks gefunden...",
                                   "Fehler: nur 4704 von 23520 Bytes gelesen, Block verworfen...",
                                   "Wiedergabe gestoppt..."}));
    EXPECT_EQ(window.reading.currentSector, 110);
}

TEST_F(PlaybackSessionTest, DriveThatCannotBeOpened)
{
    visitSoundBuffer([](uint8_t* bytes, DWORD count) { std::memset(bytes, 0x5A, count); });
    PlaybackSession(window, window.reading, *sound, letter('Q'), TransportMode::Spti).run();
    EXPECT_EQ(window.lines, (Lines{"Kein Laufwerkszugriff über SPTI möglich...", "Wiedergabe gestoppt..."}));
    EXPECT_EQ(window.pumps, 0);
    EXPECT_TRUE(window.shown.empty());
    // The sound was started (silence over the whole buffer) and stopped again.
    DWORD silent = 0;
    visitSoundBuffer([&](uint8_t* bytes, DWORD count) { silent += std::count(bytes, bytes + count, 0); });
    EXPECT_EQ(silent, 117600u);
    EXPECT_FALSE(playing());
}

TEST_F(PlaybackSessionTest, AnExceptionInsideTheSessionStillStopsTheSoundAndSaysSo)
{
    window.position = 100;
    window.onPump = [](int pump) {
        if (pump == 7) throw std::runtime_error("gone");
    };
    EXPECT_THROW(PlaybackSession(window, window.reading, *sound, letter('D'), TransportMode::Spti).run(),
                 std::runtime_error);
    EXPECT_EQ(window.lines.back(), "Wiedergabe gestoppt...");
    EXPECT_FALSE(playing());
}

}  // namespace
}  // namespace rilvane::test
