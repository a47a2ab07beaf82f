#include "SectorReader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace rilvane::vdrive {

namespace {

// The most the drive reads ahead after a read from the disc.
constexpr int64_t kMaxReadAhead = 32;

}  // namespace

SectorReader::SectorReader(const DiscImage& image, DefectState& defects)
    : image_(image), defects_(defects), cache_(defects.map().cacheSectors()), pace_(defects.map().timedSpeed())
{
}

std::optional<ScsiReply> SectorReader::readFailure(int64_t lba, int64_t count, uint32_t& dataLength)
{
    auto failure = defects_.readFailure(lba, count, cache_, pace_.current(), dataLength);
    if (failure) {
        int64_t tried = 0;
        for (int64_t s = lba; s < lba + count; ++s)
            tried += !cache_.contains(s);
        pace_.spend(tried);
    }
    return failure;
}

void SectorReader::finishRead(int64_t end, int64_t fromDisc)
{
    if (fromDisc > 0) {
        const int64_t amount = std::min<int64_t>(cache_.capacity() / 8, kMaxReadAhead);
        const int64_t stop = std::min(end + amount, image_.leadOut());
        std::array<uint8_t, kSectorBytes> raw{};
        std::array<uint8_t, kC2PointerBytes> c2{};
        for (int64_t s = end; s < stop; ++s) {
            if (cache_.contains(s))
                continue;
            if (defects_.wouldGoWrong(s, pace_.current()) || !image_.readSectors(s, 1, raw.data()))
                break;
            defects_.damage(s, raw.data(), c2.data());
            cache_.remember(s, raw.data());
            ++fromDisc;
        }
    }
    pace_.spend(fromDisc);
}

void SectorReader::forceUnitAccess()
{
    if (defects_.map().cacheObeysFua())
        cache_.clear();
}

bool SectorReader::plain() const
{
    return defects_.map().cacheSectors() == 0 && !defects_.corrupts();
}

bool SectorReader::readRun(int64_t first, int64_t count, uint8_t* out) const
{
    return image_.readSectors(first, count, out);
}

bool SectorReader::fetch(int64_t sector, uint8_t* raw, uint8_t* c2, bool* fromDisc)
{
    std::memset(c2, 0, kC2PointerBytes);
    if (fromDisc)
        *fromDisc = false;
    if (cache_.lookup(sector, raw))
        return true;
    if (fromDisc)
        *fromDisc = true;
    if (!image_.readSectors(sector, 1, raw))
        return false;
    defects_.damage(sector, raw, c2);
    cache_.remember(sector, raw);
    return true;
}

}  // namespace rilvane::vdrive
