#include "drive/DriveCapabilities.h"

#include "drive/BlockReader.h"
#include "drive/CommandCatalogue.h"

namespace rilvane {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr size_t kC2Byte = 5;
constexpr uint8_t kC2Bit = 0x10;

}  // namespace

std::optional<DriveCapabilities> DriveCapabilities::parse(const std::vector<uint8_t>& answer)
{
    if (answer.size() < kHeaderBytes) return std::nullopt;
    const size_t descriptors = size_t{answer[6]} << 8 | answer[7];
    const size_t page = kHeaderBytes + descriptors;
    if (answer.size() < page + kC2Byte + 1 || (answer[page] & 0x3F) != kCapabilitiesPage) return std::nullopt;
    DriveCapabilities caps;
    caps.c2Pointers = (answer[page + kC2Byte] & kC2Bit) != 0;
    return caps;
}

std::optional<DriveCapabilities> DriveCapabilities::query(BlockReader& reader)
{
    std::vector<uint8_t> answer;
    if (!reader.query(CommandCatalogue::modeSenseCapabilities(), answer)) return std::nullopt;
    return parse(answer);
}

}  // namespace rilvane
