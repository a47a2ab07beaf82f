// Serves arbitrary bytes as the WAVE file of a one-track disc image. When
// the image opens, it is no longer than the file, every sector of it reads
// and none past its end does.
#include "vdrive/DiscImage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

using namespace rilvane::vdrive;

namespace {

std::filesystem::path folder;

void writeFile(const std::filesystem::path& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void removeFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (folder.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "rilvane-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        std::atexit(removeFolder);
        const std::string cue = "FILE \"track.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n";
        writeFile(folder / "disc.cue", reinterpret_cast<const uint8_t*>(cue.data()), cue.size());
    }
    writeFile(folder / "track.wav", data, size);

    std::string error;
    auto image = DiscImage::open((folder / "disc.cue").string(), error);
    if (!image) {
        if (error.empty())
            std::abort();
        return 0;
    }
    // The sectors cannot hold more than the file.
    if (image->leadOut() < 1 || image->leadOut() > static_cast<int64_t>(size / kSectorBytes) + 1)
        std::abort();
    // Sector by sector and as one run, the way a read loop asks.
    uint8_t sector[kSectorBytes];
    for (int64_t s = 0; s < image->leadOut(); ++s)
        if (!image->readSectors(s, 1, sector))
            std::abort();
    if (image->readSectors(image->leadOut(), 1, sector))
        std::abort();
    std::vector<uint8_t> run(static_cast<size_t>(image->leadOut()) * kSectorBytes);
    if (!image->readSectors(0, image->leadOut(), run.data()))
        std::abort();
    return 0;
}
