// Sends arbitrary command blocks to a virtual drive. The disc is made once:
// two files, a pregap, a postgap, a data track and a few defects (without
// delays, so that no input can stall the fuzzer).
//
// Input: byte 0 = CDB length (0..16), bytes 1-2 = data length (little-endian,
// scaled up to 64 KiB), then the CDB bytes.
#include "vdrive/Mode1Sector.h"
#include "vdrive/VirtualDrive.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace rilvane::vdrive;

namespace {

std::unique_ptr<VirtualDrive> drive;

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::unique_ptr<VirtualDrive> makeDrive()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rilvane-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    const std::filesystem::path dir(pattern);

    std::string audio(40 * 2352, '\0');
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<char>(i * 31 + i / 2352);
    writeFile(dir / "a.bin", audio);
    std::string data(20 * 2352, '\0');
    for (int s = 0; s < 20; ++s)
        encodeMode1Sector(reinterpret_cast<uint8_t*>(&data[static_cast<size_t>(s) * 2352]), 40 + 5 + 3 + s);
    writeFile(dir / "b.bin", data);
    writeFile(dir / "disc.cue", "FILE \"a.bin\" BINARY\n"
                                "  TRACK 03 AUDIO\n"
                                "    INDEX 01 00:00:00\n"
                                "  TRACK 04 AUDIO\n"
                                "    FLAGS PRE\n"
                                "    INDEX 00 00:00:10\n"
                                "    INDEX 01 00:00:20\n"
                                "    POSTGAP 00:00:05\n"
                                "FILE \"b.bin\" BINARY\n"
                                "  TRACK 05 MODE1/2352\n"
                                "    PREGAP 00:00:03\n"
                                "    INDEX 01 00:00:00\n");
    writeFile(dir / "disc.defects", "name Fuzz Drive\n"
                                    "5-7 03/11/00\n"
                                    "30 gone\n"
                                    "50-52 02/04/01 0\n");
    std::string error;
    auto made = VirtualDrive::load((dir / "disc.cue").string(), (dir / "disc.defects").string(), error);
    if (!made) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    std::filesystem::remove_all(dir);  // the files stay open
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    if (!drive)
        drive = makeDrive();
    if (size < 3)
        return 0;
    const size_t cdbLength = input[0] % 17;
    const uint32_t dataLength = (uint32_t(input[1]) | uint32_t(input[2]) << 8) % 65536;
    std::vector<uint8_t> cdb(input + 3, input + size);
    cdb.resize(16, 0);
    // Exactly as large as announced, so that any overrun is caught.
    std::unique_ptr<uint8_t[]> data(dataLength ? new uint8_t[dataLength] : nullptr);
    const ScsiReply reply = drive->execute(cdb.data(), cdbLength, data.get(), dataLength);
    if (reply.transferred > dataLength)
        std::abort();
    if (reply.status != 0 && reply.status != 2)
        std::abort();
    if (reply.status == 2 && (reply.senseLength != 18 || reply.sense[0] != 0x70 || reply.transferred != 0))
        std::abort();
    if (reply.transportFailure && (reply.status != 0 || reply.transferred != 0))
        std::abort();
    return 0;
}
