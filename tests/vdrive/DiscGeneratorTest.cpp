#include "TempDir.h"

#include "DiscGenerator.h"
#include "MakeDiscOptions.h"
#include "TestSignal.h"
#include "vdrive/Mode1Sector.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <fstream>

using namespace rilvane::makedisc;

namespace {

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(std::filesystem::file_size(path));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

int16_t sampleAt(const std::vector<uint8_t>& bin, int64_t sector, int frame, int channel)
{
    const size_t at = static_cast<size_t>(sector * 2352 + frame * 4 + channel * 2);
    return static_cast<int16_t>(bin[at] | bin[at + 1] << 8);
}

// How many times the channel crosses zero upwards in a run of sectors:
// about the tone's frequency times the duration.
int risingCrossings(const std::vector<uint8_t>& bin, int64_t firstSector, int sectors, int channel)
{
    int count = 0;
    int16_t previous = sampleAt(bin, firstSector, 1, channel);
    for (int64_t s = firstSector; s < firstSector + sectors; ++s)
        for (int f = 1; f < 588; ++f) {  // frame 0 may carry a stamp
            const int16_t sample = sampleAt(bin, s, f, channel);
            if (previous < 0 && sample >= 0)
                ++count;
            previous = sample;
        }
    return count;
}

GeneratedDisc make(const TempDir& dir, DiscPlan plan, const std::string& name = "disc")
{
    plan.out = dir.file(name);
    GeneratedDisc disc;
    std::string error;
    EXPECT_TRUE(writeDisc(plan, disc, error)) << error;
    return disc;
}

}  // namespace

TEST(DiscGenerator, DefaultDiscHasThreeDistinctStereoTracks)
{
    TempDir dir;
    const GeneratedDisc disc = make(dir, {});
    EXPECT_EQ(disc.trackStarts, (std::vector<int64_t>{0, 1500, 3000}));
    EXPECT_EQ(disc.leadOut, 4500);
    EXPECT_TRUE(disc.defectsPath.empty());
    const std::vector<uint8_t> bin = readFile(disc.binPaths.at(0));
    ASSERT_EQ(bin.size(), 4500u * 2352);

    // 75 sectors are one second: the zero crossings count the pitch in Hz.
    for (int track = 1; track <= 3; ++track) {
        const int64_t start = disc.trackStarts[static_cast<size_t>(track - 1)];
        EXPECT_NEAR(risingCrossings(bin, start + 100, 75, 0), leftFrequency(track), 1) << track;
        EXPECT_NEAR(risingCrossings(bin, start + 100, 75, 1), rightFrequency(track), 1) << track;
    }
    EXPECT_NE(leftFrequency(1), leftFrequency(2));

    // About -12 dBFS, and the channels differ (the karaoke difference is not silence).
    int peak = 0;
    int64_t difference = 0;
    for (int f = 0; f < 588 * 10; ++f) {
        const int16_t left = sampleAt(bin, 200, f, 0);
        const int16_t right = sampleAt(bin, 200, f, 1);
        peak = std::max(peak, std::abs(static_cast<int>(left)));
        difference += std::abs(left - right);
    }
    EXPECT_NEAR(peak, 8192, 2);
    EXPECT_GT(difference, 588 * 10 * 1000);

    // The tone runs on across sector boundaries: no step between two sectors
    // is steeper than the sine itself allows.
    const double steepest = 2 * 3.14159265 * rightFrequency(1) * 8192 / 44100 + 2;
    for (int64_t s = 1; s < 1499; s += 97) {
        for (int channel : {0, 1}) {
            const int step = sampleAt(bin, s, 0, channel) - sampleAt(bin, s - 1, 587, channel);
            EXPECT_LT(std::abs(step), steepest) << s;
        }
    }
}

TEST(DiscGenerator, StampsPregapsAndFirstTrackNumber)
{
    TempDir dir;
    DiscPlan plan;
    plan.stamp = true;
    plan.pregap = 150;
    plan.firstTrack = 5;
    plan.lengths = {1000, 300};
    const GeneratedDisc disc = make(dir, plan);
    EXPECT_EQ(disc.trackStarts, (std::vector<int64_t>{150, 1300}));
    EXPECT_EQ(disc.leadOut, 1600);
    const std::vector<uint8_t> bin = readFile(disc.binPaths.at(0));
    auto stampOf = [&](int64_t s) {
        return static_cast<uint16_t>(sampleAt(bin, s, 0, 0)) | static_cast<uint16_t>(sampleAt(bin, s, 0, 1)) << 16;
    };
    for (int64_t s : {0L, 149L, 150L, 1000L, 1599L})
        EXPECT_EQ(stampOf(s), s);
    // Addresses above 16 bits use the right channel too.
    std::vector<uint8_t> sector(2352);
    renderAudioSector(1, 0, 0x12345, true, sector.data());
    EXPECT_EQ(sector[0] | sector[1] << 8, 0x2345);
    EXPECT_EQ(sector[2] | sector[3] << 8, 0x0001);

    // The pregap is silent apart from the stamp; the track after it is not.
    EXPECT_EQ(sampleAt(bin, 100, 300, 0), 0);
    EXPECT_NE(sampleAt(bin, 1300 + 10, 300, 0), 0);
    EXPECT_NEAR(risingCrossings(bin, 200, 75, 0), leftFrequency(5), 1);

    std::string error;
    auto drive = rilvane::vdrive::VirtualDrive::load(disc.cuePath, "", error);
    ASSERT_TRUE(drive) << error;
    const uint8_t toc[10] = {0x43, 0, 0, 0, 0, 0, 0, 0x08, 0, 0};
    std::vector<uint8_t> data(2048);
    ASSERT_EQ(drive->execute(toc, 10, data.data(), 2048).transferred, 28u);
    EXPECT_EQ(data[2], 5);
    EXPECT_EQ(data[3], 6);
}

TEST(DiscGenerator, OutputIsDeterministicAndSplitFilesHoldTheSameSectors)
{
    TempDir dir;
    DiscPlan plan;
    plan.lengths = {200, 300};
    plan.pregap = 20;
    plan.dataTrack = DataTrack::First;
    const GeneratedDisc one = make(dir, plan, "one");
    const GeneratedDisc again = make(dir, plan, "again");
    const std::vector<uint8_t> bin = readFile(one.binPaths.at(0));
    EXPECT_EQ(bin, readFile(again.binPaths.at(0)));

    plan.splitFiles = true;
    const GeneratedDisc split = make(dir, plan, "split");
    ASSERT_EQ(split.binPaths.size(), 2u);
    EXPECT_NE(split.binPaths[1].find("split-02.bin"), std::string::npos);
    std::vector<uint8_t> joined = readFile(split.binPaths[0]);
    const std::vector<uint8_t> second = readFile(split.binPaths[1]);
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(joined, bin);

    // The split sheet loads to the same disc.
    std::string error;
    auto drive = rilvane::vdrive::VirtualDrive::load(split.cuePath, "", error);
    ASSERT_TRUE(drive) << error;
    const uint8_t readCd[12] = {0xBE, 0, 0, 0, 0, 230, 0, 0, 5, 0xF8, 0, 0};
    std::vector<uint8_t> data(5 * 2352);
    ASSERT_EQ(drive->execute(readCd, 12, data.data(), 5 * 2352).transferred, 5u * 2352);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bin.begin() + 230 * 2352));
}

namespace {

uint8_t gfMultiply(uint8_t a, uint8_t b)
{
    uint8_t product = 0;
    while (b) {
        if (b & 1)
            product ^= a;
        a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0));
        b >>= 1;
    }
    return product;
}

// Checks the two syndromes of a Reed-Solomon code word (parity check rows
// 1 1 ... 1 and a^(n-1) ... a 1) over the bytes at the given offsets.
bool syndromesVanish(const uint8_t* sector, const std::vector<int>& offsets)
{
    uint8_t s0 = 0;
    uint8_t s1 = 0;
    for (int offset : offsets) {
        s0 ^= sector[offset];
        s1 = static_cast<uint8_t>(gfMultiply(s1, 2) ^ sector[offset]);
    }
    return s0 == 0 && s1 == 0;
}

}  // namespace

TEST(DiscGenerator, DataSectorsCarryHeaderEdcAndParity)
{
    TempDir dir;
    DiscPlan plan;
    plan.dataTrack = DataTrack::Last;
    plan.lengths = {10, 200};
    const GeneratedDisc disc = make(dir, plan);
    const std::vector<uint8_t> bin = readFile(disc.binPaths.at(0));
    const uint8_t* sector = bin.data() + 160 * 2352;  // absolute time 00:04:10 with the 150-sector lead-in

    const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_TRUE(std::equal(sync, sync + 12, sector));
    EXPECT_EQ(sector[12], 0x00);
    EXPECT_EQ(sector[13], 0x04);
    EXPECT_EQ(sector[14], 0x10);
    EXPECT_EQ(sector[15], 0x01);
    std::vector<uint8_t> late(2352);
    rilvane::vdrive::encodeMode1Sector(late.data(), 19010);
    EXPECT_EQ(late[12], 0x04);
    EXPECT_EQ(late[13], 0x15);
    EXPECT_EQ(late[14], 0x35);
    EXPECT_TRUE(std::all_of(sector + 16, sector + 2064, [](uint8_t b) { return b == 0; }));

    // A CRC over the data followed by its own EDC leaves no remainder.
    EXPECT_EQ(rilvane::vdrive::cdEdc(sector, 2068), 0u);
    EXPECT_NE(rilvane::vdrive::cdEdc(sector, 2064), 0u);

    // P words: 86 columns of 24 bytes from the header on, then 2 parity bytes.
    for (int column = 0; column < 86; ++column) {
        std::vector<int> offsets;
        for (int row = 0; row < 24; ++row)
            offsets.push_back(12 + column + 86 * row);
        offsets.push_back(2076 + column);
        offsets.push_back(2076 + 86 + column);
        EXPECT_TRUE(syndromesVanish(sector, offsets)) << "P column " << column;
    }
    // Q words: 52 diagonals of 43 bytes through the header, data and P parity.
    for (int diagonal = 0; diagonal < 52; ++diagonal) {
        std::vector<int> offsets;
        for (int row = 0; row < 43; ++row) {
            const int wordIndex = (43 * (diagonal / 2) + 44 * row) % 1118;  // 16-bit words
            offsets.push_back(12 + wordIndex * 2 + (diagonal & 1));
        }
        offsets.push_back(2248 + diagonal);
        offsets.push_back(2248 + 52 + diagonal);
        EXPECT_TRUE(syndromesVanish(sector, offsets)) << "Q diagonal " << diagonal;
    }
}

TEST(MakeDiscOptions, ReadsTheCommandLine)
{
    DiscPlan plan;
    std::string error;
    ASSERT_EQ(parseArguments({"--out", "x/y", "--lengths=10,20", "--first-track", "3", "--data-track", "--pregap",
                              "15", "--defects", "100-109 03/11/00 50; 200 gone;", "--name", "Test Drive", "--stamp"},
                             plan, error),
              ParseResult::Run)
        << error;
    EXPECT_EQ(plan.out, "x/y");
    EXPECT_EQ(plan.tracks, 2);
    EXPECT_EQ(plan.lengths, (std::vector<int64_t>{10, 20}));
    EXPECT_EQ(plan.firstTrack, 3);
    EXPECT_EQ(plan.dataTrack, DataTrack::First);
    EXPECT_EQ(plan.pregap, 15);
    EXPECT_EQ(plan.defects, (std::vector<std::string>{"100-109 03/11/00 50", "200 gone"}));
    EXPECT_EQ(plan.name, "Test Drive");
    EXPECT_TRUE(plan.stamp);

    // What the disc says about itself.
    DiscPlan facts;
    ASSERT_EQ(parseArguments({"--out", "x/y", "--tracks", "3", "--hidden-track", "150", "--index2", "75", "--catalog",
                              "4006381333931", "--isrc", "DEXY12500001,,DEXY12500003", "--title", "Disc",
                              "--performer", "Band", "--songwriter", "Writer", "--track-titles", "A;B;C",
                              "--track-performers", "P;;R", "--track-songwriters", "S"},
                             facts, error),
              ParseResult::Run)
        << error;
    EXPECT_EQ(facts.hiddenTrack, 150);
    EXPECT_EQ(facts.index2, 75);
    EXPECT_EQ(facts.catalog, "4006381333931");
    EXPECT_EQ(facts.isrcs, (std::vector<std::string>{"DEXY12500001", "", "DEXY12500003"}));
    EXPECT_EQ(facts.title, "Disc");
    EXPECT_EQ(facts.performer, "Band");
    EXPECT_EQ(facts.songwriter, "Writer");
    EXPECT_EQ(facts.trackTitles, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(facts.trackPerformers, (std::vector<std::string>{"P", "", "R"}));
    EXPECT_EQ(facts.trackSongwriters, (std::vector<std::string>{"S"}));

    DiscPlan other;
    EXPECT_EQ(parseArguments({"--help"}, other, error), ParseResult::Help);
    EXPECT_EQ(parseArguments({"--tracks", "2"}, other, error), ParseResult::Error);
    EXPECT_NE(error.find("--out"), std::string::npos);
    EXPECT_EQ(parseArguments({"--out", "a", "--tracks", "two"}, other, error), ParseResult::Error);
    EXPECT_EQ(parseArguments({"--out", "a", "--lengths", "5,,6"}, other, error), ParseResult::Error);
    EXPECT_EQ(parseArguments({"--out", "a", "--stamp=yes"}, other, error), ParseResult::Error);
    EXPECT_EQ(parseArguments({"--out", "a", "--colour"}, other, error), ParseResult::Error);
    EXPECT_EQ(parseArguments({"--out"}, other, error), ParseResult::Error);
    EXPECT_EQ(parseArguments({"--out", "a", "--tracks", "3", "--lengths", "5,5"}, other, error), ParseResult::Error);
    EXPECT_NE(error.find("does not match"), std::string::npos) << error;
}

TEST(MakeDiscOptions, RefusesDiscsThatCannotExist)
{
    TempDir dir;
    const struct {
        std::function<void(DiscPlan&)> change;
        const char* message;
    } cases[] = {
        {[](DiscPlan& s) { s.tracks = 0; }, "1 to 99 tracks"},
        {[](DiscPlan& s) { s.tracks = 100; }, "1 to 99 tracks"},
        {[](DiscPlan& s) { s.tracks = 2, s.lengths = {5, 0}; }, "track length 0"},
        {[](DiscPlan& s) { s.firstTrack = 98; }, "do not fit 1 to 99"},
        {[](DiscPlan& s) { s.tracks = 1, s.lengths = {900000}, s.pregap = 200000; }, "longer than"},
        {[](DiscPlan& s) { s.defects = {"100 03/11"}; }, "--defects '100 03/11': bad sense"},
        {[](DiscPlan& s) { s.defects = {"toc 02/3A/00", "toc gone"}; }, "second 'toc' line"},
        {[](DiscPlan& s) { s.name = "Gr\xC3\xBCn"; }, "--name 'name Gr"},
        {[](DiscPlan& s) { s.catalog = "12345"; }, "CATALOG needs 13 digits"},
        {[](DiscPlan& s) { s.isrcs = {"", "DE-XY1-25-00001"}; }, "ISRC needs 12 characters"},
        {[](DiscPlan& s) { s.isrcs = {"", "", "", "DEXY12500001"}; }, "--isrc gives 4 entries for 3 tracks"},
        {[](DiscPlan& s) { s.trackTitles = {"a \"quoted\" title"}; }, "cannot hold a double quote"},
        {[](DiscPlan& s) { s.hiddenTrack = 10, s.dataTrack = DataTrack::First; }, "audio first track"},
    };
    for (const auto& c : cases) {
        DiscPlan plan;
        c.change(plan);
        plan.out = dir.file("bad");
        GeneratedDisc disc;
        std::string error;
        EXPECT_FALSE(writeDisc(plan, disc, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.cue")));
}
