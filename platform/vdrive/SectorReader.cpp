#include "SectorReader.h"

#include <cstring>

namespace rilvane::vdrive {

SectorReader::SectorReader(const DiscImage& image, DefectState& defects)
    : image_(image), defects_(defects), cache_(defects.map().cacheSectors())
{
}

std::optional<ScsiReply> SectorReader::readFailure(int64_t lba, int64_t count, uint32_t& dataLength)
{
    return defects_.readFailure(lba, count, cache_, dataLength);
}

bool SectorReader::plain() const
{
    return defects_.map().cacheSectors() == 0 && !defects_.corrupts();
}

bool SectorReader::readRun(int64_t first, int64_t count, uint8_t* out) const
{
    return image_.readSectors(first, count, out);
}

bool SectorReader::fetch(int64_t sector, uint8_t* raw, uint8_t* c2)
{
    std::memset(c2, 0, kC2PointerBytes);
    if (cache_.lookup(sector, raw))
        return true;
    if (!image_.readSectors(sector, 1, raw))
        return false;
    defects_.damage(sector, raw, c2);
    cache_.remember(sector, raw);
    return true;
}

}  // namespace rilvane::vdrive
