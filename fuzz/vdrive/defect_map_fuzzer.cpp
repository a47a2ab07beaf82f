// Feeds arbitrary text to the defect map parser.
#include "vdrive/DefectMap.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace rilvane::vdrive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto map = DefectMap::parse(text, "fuzz.defects", error);
    if (!map) {
        if (error.rfind("fuzz.defects:", 0) != 0)
            std::abort();
        return 0;
    }
    if (map->productName().empty() || map->productName().size() > 16)
        std::abort();
    for (const DefectRange& range : map->ranges()) {
        if (range.first < 0 || range.last < range.first || range.action.delayMs > kMaxDefectDelayMs)
            std::abort();
        if (map->find(range.first, 1) == nullptr || map->find(range.last, 10) == nullptr)
            std::abort();
    }
    return 0;
}
