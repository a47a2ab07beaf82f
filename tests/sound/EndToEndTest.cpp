// The real libdsound.so, loaded as "DSound.dll", playing into ALSA.
//
// The test points ALSA at its own configuration through HOME and
// XDG_CONFIG_HOME before anything opens a device:
//   RILVANE_SOUND_E2E unset or "capture": the default PCM is the file plugin
//     piping into rilvane-paced-capture at twice real time;
//   RILVANE_SOUND_E2E=nodevice: the default PCM is a sound card that does
//     not exist.
#include "SoundTestSupport.h"
#include "playback/DSound.h"
#include "playback/SoundOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using rilvane::DSound;
using rilvane::kSoundBufferBytes;
using rilvane::kStagingBytes;
using rilvane::SoundOutput;

namespace {

constexpr unsigned kCaptureRate = 2 * 176400;  // twice real time
fs::path gHome;

fs::path capturePath()
{
    return gHome / "capture.raw";
}

void writeAlsaConfig(bool withDevice)
{
    const fs::path tool = fs::read_symlink("/proc/self/exe").parent_path() / "rilvane-paced-capture";
    std::ofstream config(gHome / ".asoundrc");
    if (withDevice) {
        config << "pcm.!default {\n"
               << "    type file\n"
               << "    slave.pcm \"null\"\n"
               << "    file \"|" << tool.string() << " " << kCaptureRate << " " << capturePath().string() << "\"\n"
               << "    format \"raw\"\n"
               << "}\n";
    } else {
        config << "pcm.!default {\n    type hw\n    card 99\n}\n";
    }
}

std::vector<uint8_t> waitForCapture()
{
    for (int i = 0; i < 600 && !fs::exists(capturePath()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(capturePath(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int enumerated = 0;
BOOL countDevice(LPGUID guid, LPCSTR description, LPCSTR, LPVOID context)
{
    EXPECT_EQ(guid, nullptr);
    EXPECT_STREQ(description, "Primary Sound Driver");
    EXPECT_EQ(context, &enumerated);
    ++enumerated;
    return TRUE;
}

TEST(SoundEndToEnd, TheLibraryGivesItsSixEntryPoints)
{
    DSound library;
    ASSERT_NE(library.library(), nullptr);
    ASSERT_NE(library.DirectSoundCreate, nullptr);
    ASSERT_NE(library.DirectSoundEnumerateA, nullptr);
    ASSERT_NE(library.DirectSoundEnumerateW, nullptr);
    ASSERT_NE(library.DirectSoundCaptureCreate, nullptr);
    ASSERT_NE(library.DirectSoundCaptureEnumerateA, nullptr);
    ASSERT_NE(library.DirectSoundCaptureEnumerateW, nullptr);

    EXPECT_EQ(library.DirectSoundEnumerateA(reinterpret_cast<void*>(&countDevice), &enumerated), DS_OK);
    EXPECT_EQ(enumerated, 1);
    EXPECT_EQ(library.DirectSoundCaptureEnumerateA(reinterpret_cast<void*>(&countDevice), &enumerated), DS_OK);
    EXPECT_EQ(enumerated, 1);
    void* capture = &enumerated;
    EXPECT_EQ(library.DirectSoundCaptureCreate(nullptr, &capture, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(capture, nullptr);
}

TEST(SoundEndToEnd, HandedOffStagingBuffersComeOutOfTheDeviceBitForBit)
{
    constexpr int kBuffers = 6;
    DSound library;
    SoundOutput output;
    ASSERT_TRUE(output.setUp(library.DirectSoundCreate, nullptr));

    // A silent staging buffer first: whatever the first handoff finds, the
    // handoffs after it are in step with the notifications.
    std::vector<std::vector<uint8_t>> stagings = {std::vector<uint8_t>(kStagingBytes, 0)};
    for (int i = 1; i <= kBuffers; ++i) stagings.push_back(stagingPattern(static_cast<uint32_t>(i)));

    output.start();
    int draws = 0;
    for (const auto& staging : stagings) {
        int32_t fill = kStagingBytes;
        output.handOff(staging.data(), fill, [&](const uint8_t*) { ++draws; });
        EXPECT_EQ(fill, 0);
    }
    output.stop();
    output.release();
    EXPECT_EQ(draws, kBuffers + 1);

    const std::vector<uint8_t> captured = waitForCapture();
    size_t zeros = 0;
    while (zeros < captured.size() && captured[zeros] == 0) ++zeros;
    EXPECT_GE(zeros, 2 * size_t{kSoundBufferBytes}) << "the silent start: one lap, then the silent staging buffer";

    std::vector<uint8_t> expected;
    for (int i = 1; i <= kBuffers; ++i) expected.insert(expected.end(), stagings[i].begin(), stagings[i].end());
    const size_t rest = captured.size() - zeros;
    // Every buffer but the last has been played in full when the last
    // handoff returns; after it the device plays on until the stop.
    ASSERT_GE(rest, (kBuffers - 1) * size_t{kSoundBufferBytes});
    const size_t compared = std::min(rest, expected.size());
    size_t same = 0;
    while (same < compared && captured[zeros + same] == expected[same]) ++same;
    EXPECT_EQ(same, compared) << "the capture departs from the staging buffers at byte " << same
                              << " after the silence";
}

TEST(SoundWithoutDevice, SetUpFailsWhenNoPlaybackDeviceOpens)
{
    DSound library;
    ASSERT_NE(library.DirectSoundCreate, nullptr);
    LPDIRECTSOUND ds = reinterpret_cast<LPDIRECTSOUND>(&library);
    EXPECT_NE(library.DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    EXPECT_EQ(ds, nullptr);
    SoundOutput output;
    EXPECT_FALSE(output.setUp(library.DirectSoundCreate, nullptr));
}

TEST(SoundWithoutDevice, SetUpFailsWhenTheLibraryIsMissing)
{
    const fs::path empty = gHome / "no-libraries";
    fs::create_directories(empty);
    setenv("RILVANE_LIBRARY_DIR", empty.c_str(), 1);
    {
        DSound library;
        EXPECT_EQ(library.library(), nullptr);
        EXPECT_EQ(library.DirectSoundCreate, nullptr);
        EXPECT_EQ(library.DirectSoundCaptureEnumerateW, nullptr);
        SoundOutput output;
        EXPECT_FALSE(output.setUp(library.DirectSoundCreate, nullptr));
    }
    unsetenv("RILVANE_LIBRARY_DIR");
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const char* mode = std::getenv("RILVANE_SOUND_E2E");
    const bool withDevice = !mode || std::string(mode) != "nodevice";
    if (::testing::GTEST_FLAG(filter) == "*")
        ::testing::GTEST_FLAG(filter) = withDevice ? "SoundEndToEnd.*" : "SoundWithoutDevice.*";

    char pattern[] = "/tmp/rilvane-sound-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    gHome = pattern;
    writeAlsaConfig(withDevice);
    setenv("HOME", gHome.c_str(), 1);
    setenv("XDG_CONFIG_HOME", gHome.c_str(), 1);

    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    fs::remove_all(gHome, ignored);
    return result;
}
