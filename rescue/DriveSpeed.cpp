#include "rescue/DriveSpeed.h"

#include <vector>

#include "drive/CommandCatalogue.h"

namespace rilvane::rescue {

std::optional<DriveSpeeds> readDriveSpeeds(BlockReader& reader)
{
    std::vector<uint8_t> page;
    if (!reader.query(CommandCatalogue::modeSenseCapabilities(), page) || page.size() < 8) return std::nullopt;
    const size_t descriptors = size_t{page[6]} << 8 | page[7];
    const size_t at = 8 + descriptors;
    if (page.size() < at + 16 || (page[at] & 0x3F) != 0x2A) return std::nullopt;
    DriveSpeeds speeds;
    speeds.topKilobytes = static_cast<uint16_t>(page[at + 8] << 8 | page[at + 9]);
    speeds.currentKilobytes = static_cast<uint16_t>(page[at + 14] << 8 | page[at + 15]);
    return speeds;
}

std::optional<uint16_t> setDriveSpeed(BlockReader& reader, uint16_t kilobytesPerSecond)
{
    std::vector<uint8_t> nothing;
    if (!reader.query(CommandCatalogue::setCdSpeed(kilobytesPerSecond), nothing)) return std::nullopt;
    const auto speeds = readDriveSpeeds(reader);
    if (!speeds) return kilobytesPerSecond;
    return speeds->currentKilobytes;
}

uint16_t kilobytesFor(int speed)
{
    if (speed <= 0) return 0xFFFF;
    const int value = (speed * 1764 + 5) / 10;
    return static_cast<uint16_t>(value >= 0xFFFF ? 0xFFFE : value);
}

std::string speedText(uint16_t kilobytesPerSecond)
{
    const int speed = (kilobytesPerSecond * 10 + 882) / 1764;
    return std::to_string(speed) + "×";
}

}  // namespace rilvane::rescue
