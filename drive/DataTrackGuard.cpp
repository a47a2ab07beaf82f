#include "drive/DataTrackGuard.h"

namespace rilvane {

std::string DataTrackGuard::dataBlockLine(int32_t sector)
{
    return "Fehler: Block ab Sektor " + std::to_string(sector) +
           " liegt in einem Datentrack, nicht als Audio gelesen...";
}

uint8_t* DataTrackGuard::read(int32_t sector, int32_t sectors)
{
    const int64_t end = int64_t{sector} + sectors;
    for (const auto& [first, last] : ranges_) {
        if (sector < last && first < end) {
            log_.logLine(dataBlockLine(sector));
            return nullptr;
        }
    }
    return inner_.readBlock(sector, sectors);
}

}  // namespace rilvane
