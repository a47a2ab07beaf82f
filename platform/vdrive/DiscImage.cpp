#include "DiscImage.h"

#include "Mode1Sector.h"
#include "TextInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace rilvane::vdrive {

namespace {

// Reads exactly length bytes at offset; false on error or end of file.
bool readAt(int fd, int64_t offset, uint8_t* out, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Finds the sound data of a RIFF/WAVE file: PCM, 2 channels, 44100 Hz, 16 bits.
bool findWaveData(int fd, int64_t fileSize, int64_t& dataOffset, int64_t& dataBytes, std::string& problem)
{
    uint8_t riff[12];
    if (fileSize < 12 || !readAt(fd, 0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        problem = "not a RIFF/WAVE file";
        return false;
    }
    bool formatSeen = false;
    int64_t offset = 12;
    // A sound file has a handful of chunks; stop looking after many.
    for (int chunk = 0; chunk < 256 && offset + 8 <= fileSize; ++chunk) {
        uint8_t header[8];
        if (!readAt(fd, offset, header, sizeof header))
            break;
        const int64_t size = le32(header + 4);
        const int64_t body = offset + 8;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            uint8_t fmt[16];
            if (size < 16 || body + 16 > fileSize || !readAt(fd, body, fmt, sizeof fmt)) {
                problem = "the WAVE format chunk is too short";
                return false;
            }
            if (le16(fmt) != 1 || le16(fmt + 2) != 2 || le32(fmt + 4) != 44100 || le16(fmt + 14) != 16) {
                problem = "only PCM, 2 channels, 44100 Hz, 16 bits is supported";
                return false;
            }
            formatSeen = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!formatSeen) {
                problem = "the WAVE data chunk comes before the format chunk";
                return false;
            }
            if (body + size > fileSize) {
                problem = "the WAVE data chunk runs past the end of the file";
                return false;
            }
            dataOffset = body;
            dataBytes = size;
            return true;
        }
        offset = body + size + (size & 1);
    }
    problem = "no WAVE data chunk";
    return false;
}

}  // namespace

DiscImage::~DiscImage()
{
    for (const OpenFile& file : files_)
        if (file.fd >= 0)
            ::close(file.fd);
}

std::unique_ptr<DiscImage> DiscImage::open(const std::string& cuePath, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(cuePath, ec)) {
        error = cuePath + ": is a folder, not a CUE sheet";
        return nullptr;
    }
    std::string text;
    if (!readTextFile(cuePath, text, error))
        return nullptr;
    auto sheet = CueSheet::parse(text, cuePath, error);
    if (!sheet)
        return nullptr;

    std::unique_ptr<DiscImage> image(new DiscImage);
    const std::filesystem::path folder = std::filesystem::path(cuePath).parent_path();
    std::vector<int64_t> fileSectors;
    for (const CueFile& cueFile : sheet->files()) {
        const std::filesystem::path path = folder / cueFile.name;
        auto fail = [&](const std::string& problem) {
            error = lineError(cuePath, cueFile.line, "'" + path.string() + "': " + problem);
            return nullptr;
        };
        OpenFile file;
        // O_NONBLOCK: a FIFO must not hold up discovery; only regular files
        // pass the check below, for which the flag changes nothing.
        file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (file.fd < 0)
            return fail(std::strerror(errno));
        image->files_.push_back(file);  // closed by the destructor from now on
        struct stat st {};
        if (::fstat(file.fd, &st) != 0)
            return fail(std::strerror(errno));
        if (!S_ISREG(st.st_mode))
            return fail("not a regular file");
        const int64_t size = st.st_size;
        if (size / kSectorBytes > kMaxDiscSectors)
            return fail("larger than the largest disc (" + std::to_string(kMaxDiscSectors) + " sectors)");
        if (cueFile.type == CueFileType::Binary) {
            if (size % kSectorBytes != 0)
                return fail(std::to_string(size) + " bytes is not a whole number of 2352-byte sectors");
            file.dataOffset = 0;
            file.dataBytes = size;
        } else {
            std::string problem;
            if (!findWaveData(file.fd, size, file.dataOffset, file.dataBytes, problem))
                return fail(problem);
        }
        image->files_.back() = file;
        // A sound file's last sector may be partial; the rest of it is silence.
        fileSectors.push_back((file.dataBytes + kSectorBytes - 1) / kSectorBytes);
    }
    if (!sheet->layout(fileSectors, error))
        return nullptr;
    image->sheet_ = std::move(*sheet);
    return image;
}

bool DiscImage::readSectors(int64_t first, int64_t count, uint8_t* out) const
{
    if (first < 0 || count < 0 || count > leadOut() - first)
        return false;
    // The segments cover the disc from sector 0 to the lead-out without gaps.
    const std::vector<DiscSegment>& segments = sheet_.segments();
    auto it = std::upper_bound(segments.begin(), segments.end(), first,
                               [](int64_t s, const DiscSegment& segment) { return s < segment.firstSector; });
    if (it == segments.begin())
        return false;
    --it;
    const int64_t end = first + count;
    for (int64_t sector = first; sector < end; ++it) {
        if (it == segments.end())
            return false;
        const DiscSegment& segment = *it;
        const int64_t run = std::min(end, segment.firstSector + segment.count) - sector;
        if (run <= 0)
            return false;
        uint8_t* place = out + (sector - first) * kSectorBytes;
        const auto bytes = static_cast<size_t>(run * kSectorBytes);
        if (segment.silent) {
            std::memset(place, 0, bytes);
            for (int64_t s = sector; s < sector + run; ++s)
                if (sheet_.trackOf(s).mode == TrackMode::Mode1)
                    encodeMode1Sector(place + (s - sector) * kSectorBytes, s);
        } else {
            const OpenFile& file = files_[segment.file];
            const int64_t offset = (segment.fileSector + (sector - segment.firstSector)) * kSectorBytes;
            // A sound file's last sector may be partial; the rest of it is silence.
            const auto available = static_cast<size_t>(std::clamp<int64_t>(file.dataBytes - offset, 0, run * kSectorBytes));
            std::memset(place + available, 0, bytes - available);
            if (!readAt(file.fd, file.dataOffset + offset, place, available))
                return false;
        }
        sector += run;
    }
    return true;
}

}  // namespace rilvane::vdrive
