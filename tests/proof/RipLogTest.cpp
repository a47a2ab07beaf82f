// The log's seal and verdict, and the read offset applied to a disc whose
// every frame carries its own number.
#include <gtest/gtest.h>

#include <map>

#include "proof/RipLog.h"
#include "proof/ShiftedAudio.h"

namespace rilvane::proof {
namespace {

LogContents sampleLog()
{
    LogContents c;
    c.program = "rilvane-rip 1.0";
    c.date = "2026-12-07 18:00:00 UTC";
    c.drive = "E: VIRTUAL";
    c.transport = "Pass-Through";
    c.format = "FLAC";
    c.toc.tracks = {{1, 0, TrackControl::kPreEmphasis}, {2, 1500, 0}};
    c.toc.leadOut = 3000;
    c.ids = DiscIds::of(c.toc);
    for (int n = 1; n <= 2; ++n) {
        LogTrack t;
        t.number = n;
        t.file = "track0" + std::to_string(n) + ".flac";
        t.checksums = Checksums{0x11, 0x22, 0x33, 0x44};
        c.tracks.push_back(t);
    }
    return c;
}

TEST(RipLog, SealShowsAnyChange)
{
    const std::string log = RipLog::text(sampleLog());
    EXPECT_EQ(RipLog::check(log), RipLog::Seal::Valid);
    std::string edited = log;
    edited[edited.find("00000033")] = '1';  // a CRC changed by hand
    EXPECT_EQ(RipLog::check(edited), RipLog::Seal::Broken);
    std::string crlf;  // an editor that rewrote the line ends
    for (const char c : log) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(RipLog::check(crlf), RipLog::Seal::Broken);
    EXPECT_EQ(RipLog::check(log + "noch eine Zeile\n"), RipLog::Seal::Broken);
    EXPECT_EQ(RipLog::check(log.substr(0, log.find("Prüfsumme dieses"))), RipLog::Seal::Missing);
}

// A log kept over runs: each run's seal covers everything before it. What
// follows the last seal is told apart: a run that never ended (it opens
// with its line) or other lines.
TEST(RipLog, SaysWhatFollowsTheLastSeal)
{
    const std::string first = RipLog::text(sampleLog());
    const std::string both = RipLog::seal(first + "---- rilvane-rip: E: VIRTUAL\n\n" + RipLog::body(sampleLog()));
    RipLog::SealReport r = RipLog::inspect(both);
    EXPECT_EQ(r.seal, RipLog::Seal::Valid);
    EXPECT_EQ(r.sealedRuns, 2);
    EXPECT_EQ(r.lastDate, "2026-12-07 18:00:00 UTC");
    EXPECT_EQ(r.tail, RipLog::Tail::None);

    r = RipLog::inspect(both + "---- rilvane-rip: E: VIRTUAL\nTrack 01, 00:01.00 (Sektor 75): Lesefehler\n");
    EXPECT_EQ(r.seal, RipLog::Seal::Valid);
    EXPECT_EQ(r.tail, RipLog::Tail::Run);
    EXPECT_EQ(r.tailLines, 2u);
    EXPECT_EQ(RipLog::inspect(both + "alles gut\n").tail, RipLog::Tail::Lines);
    // A killed first run has no seal at all.
    EXPECT_EQ(RipLog::inspect("---- rilvane-rip: E: VIRTUAL\n").tail, RipLog::Tail::Run);
    EXPECT_EQ(RipLog::inspect("---- rilvane-rip: E: VIRTUAL\n").seal, RipLog::Seal::Missing);

    // A change before the first seal breaks the last one too.
    std::string edited = both;
    edited[edited.find("00000033")] = '1';
    EXPECT_EQ(RipLog::inspect(edited).seal, RipLog::Seal::Broken);
    // A seal quoted inside a line is not a seal.
    EXPECT_EQ(RipLog::inspect("x Prüfsumme dieses Protokolls (SHA-256 aller Zeilen davor): 00\n").seal,
              RipLog::Seal::Missing);
}

TEST(RipLog, NamesPreEmphasisAndSaysPlainlyWhetherTheDiscIsWhole)
{
    LogContents c = sampleLog();
    std::string log = RipLog::text(c);
    EXPECT_NE(log.find("Audio, Pre-Emphasis"), std::string::npos);
    EXPECT_NE(log.find("Pre-Emphasis:"), std::string::npos);
    EXPECT_NE(log.find(RipLog::verdict(c) + "\n"), std::string::npos);
    EXPECT_EQ(RipLog::verdict(c), "Ergebnis: Die CD ist vollständig gerettet: Jeder Sektor jedes Audio-Tracks wurde gelesen.");

    c.tracks[1].missingSectors = 3;
    c.tracks[1].missingRanges = {"00:10.00-00:10.02 (Sektoren 2250-2252)"};
    log = RipLog::text(c);
    EXPECT_EQ(RipLog::verdict(c),
              "Ergebnis: Die CD ist NICHT vollständig gerettet: 3 Sektoren fehlen (als Stille geschrieben), in 1 Track.");
    EXPECT_NE(log.find("00:10.00-00:10.02 (Sektoren 2250-2252)"), std::string::npos);
    c.tracks[0].suspectSectors = 1;
    EXPECT_EQ(RipLog::verdict(c), "Ergebnis: Die CD ist NICHT vollständig gerettet: 3 Sektoren fehlen (als Stille "
                                  "geschrieben), 1 Sektor ist unsicher, in 2 Tracks.");
    // A scan writes no file: nothing was written as silence.
    c.scanOnly = true;
    EXPECT_EQ(RipLog::verdict(c), "Ergebnis: Die CD ist NICHT vollständig gelesen: 3 Sektoren fehlen, 1 Sektor ist "
                                  "unsicher, in 2 Tracks.");
    EXPECT_EQ(RipLog::text(c).find("als Stille"), std::string::npos);
    c.scanOnly = false;
    c.tracks[1].missingSectors = 0;
    c.interrupted = true;
    EXPECT_NE(RipLog::verdict(c).find("abgebrochen"), std::string::npos);
}

// Sectors whose frames hold their own disc frame number (+1, so that no
// frame is silent); `reads` counts the sectors asked for.
class NumberedDisc : public SectorSource {
public:
    bool read(int32_t first, int32_t count, uint8_t* out) override
    {
        for (int64_t f = int64_t{first} * 588; f < int64_t{first + count} * 588; ++f) {
            const uint32_t v = static_cast<uint32_t>(f + 1);
            for (int b = 0; b < 4; ++b) *out++ = static_cast<uint8_t>(v >> (8 * b));
        }
        reads += count;
        return true;
    }
    int64_t reads = 0;
};

std::vector<uint32_t> streamed(ShiftedAudio& audio, int32_t first, int32_t end)
{
    std::vector<uint32_t> frames;
    EXPECT_TRUE(audio.stream(first, end, [&](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i, p += 4) frames.push_back(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24);
    }));
    return frames;
}

TEST(ShiftedAudio, OffsetTakesTheAudioFromFurtherOnWithSilenceBeyondTheDisc)
{
    NumberedDisc disc;
    const int32_t leadOut = 30;
    for (const int offset : {0, 6, -6, 667, -1200}) {
        ShiftedAudio audio(disc, 0, leadOut, offset);
        // The first, a middle and the last track of a 30-sector disc.
        for (const auto& [first, end] : {std::pair{0, 10}, std::pair{10, 25}, std::pair{25, 30}}) {
            const auto frames = streamed(audio, first, end);
            ASSERT_EQ(frames.size(), size_t(end - first) * 588);
            for (size_t i = 0; i < frames.size(); ++i) {
                const int64_t source = int64_t{first} * 588 + int64_t(i) + offset;
                const uint32_t expected = source < 0 || source >= leadOut * 588 ? 0 : uint32_t(source + 1);
                ASSERT_EQ(frames[i], expected) << "offset " << offset << " track at " << first << " frame " << i;
            }
        }
    }
}

}  // namespace
}  // namespace rilvane::proof
