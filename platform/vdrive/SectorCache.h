// The drive's read cache: the raw bytes of the sectors it last read without
// an error, newest first. A re-read of one of them never reaches the disc.
#pragma once

#include "CueSheet.h"

#include <array>
#include <cstdint>
#include <list>
#include <unordered_map>

namespace rilvane::vdrive {

class SectorCache {
public:
    // capacity 0: the drive keeps nothing.
    explicit SectorCache(uint32_t capacity = 0) : capacity_(capacity) {}

    bool contains(int64_t sector) const { return entries_.count(sector) != 0; }

    // Copies the cached sector into raw (2352 bytes); false when not cached.
    bool lookup(int64_t sector, uint8_t* raw) const;

    // Keeps a sector just read, dropping the oldest when full.
    void remember(int64_t sector, const uint8_t* raw);

private:
    struct Entry {
        std::list<int64_t>::iterator place;
        std::array<uint8_t, kSectorBytes> bytes;
    };
    uint32_t capacity_ = 0;
    std::list<int64_t> order_;
    std::unordered_map<int64_t, Entry> entries_;
};

}  // namespace rilvane::vdrive
