// The sectors of a disc described by a CUE sheet: the files it names, opened
// and measured, and a way to read any raw 2352-byte sector by disc address.
#pragma once

#include "CueSheet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rilvane::vdrive {

class DiscImage {
public:
    // Reads the sheet, opens every file (relative names are taken from the
    // sheet's folder) and lays the tracks out. On failure returns nullptr and
    // sets error to "SHEET:LINE: what is wrong".
    static std::unique_ptr<DiscImage> open(const std::string& cuePath, std::string& error);

    ~DiscImage();
    DiscImage(const DiscImage&) = delete;
    DiscImage& operator=(const DiscImage&) = delete;

    const CueSheet& sheet() const { return sheet_; }
    int64_t leadOut() const { return sheet_.leadOut(); }

    // Copies count raw sectors from a disc address on (all inside
    // 0 .. leadOut() - 1) into out (count * 2352 bytes): one read per file
    // the run lies in, silence where the sheet inserts it. Returns false
    // when the run is outside the disc or a file cannot be read there.
    bool readSectors(int64_t first, int64_t count, uint8_t* out) const;

private:
    struct OpenFile {
        int fd = -1;
        int64_t dataOffset = 0;  // where the sectors begin (after a WAV header)
        int64_t dataBytes = 0;   // bytes of sound or sectors; a WAV's last sector may be partial
    };

    DiscImage() = default;

    CueSheet sheet_;
    std::vector<OpenFile> files_;
};

}  // namespace rilvane::vdrive
