// The whole-disc working copy of a rescue: every sector of the disc, 2352
// raw bytes each, at its place in one file (sector N at N * 2352), zeros
// where nothing was read yet; beside it a CUE sheet of the disc's tracks, so
// the copy can be played or burned as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rescue/RescueMap.h"

namespace rilvane::rescue {

class WorkingCopy {
public:
    WorkingCopy() = default;
    ~WorkingCopy();
    WorkingCopy(const WorkingCopy&) = delete;
    WorkingCopy& operator=(const WorkingCopy&) = delete;

    // Opens `path` (made when missing) and sizes it to `sectors` sectors.
    // False with the system's reason in `error`.
    bool open(const std::string& path, int32_t sectors, std::string& error);
    bool isOpen() const { return fd_ >= 0; }
    // The length the file had when it was opened, in bytes.
    int64_t lengthFound() const { return lengthFound_; }
    // Whether anything was written into the stretch of `stretchSectors`
    // sectors numbered `stretch` since the last call for it.
    bool takeWritten(int32_t stretch);

    bool write(int32_t sector, const uint8_t* data, int32_t count);
    // Reads `count` sectors; false when they cannot be read.
    bool read(int32_t sector, uint8_t* data, int32_t count) const;
    // Hands what was written to the disk.
    bool sync();
    // The system's reason for the last failure.
    const std::string& error() const { return error_; }

    // Writes the working copy's CUE sheet `text` through a file beside it
    // and renames it.
    static bool writeCue(const std::string& cuePath, const std::string& text, std::string& error);

private:
    int fd_ = -1;
    int64_t lengthFound_ = 0;
    std::vector<bool> written_;  // per stretch of RescueMap::kSumSectors
    mutable std::string error_;
};

}  // namespace rilvane::rescue
