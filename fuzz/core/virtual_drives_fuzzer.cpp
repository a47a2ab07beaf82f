// Feeds arbitrary text to the RILVANE_VIRTUAL_DRIVES parser and checks what
// it accepts: every kept entry is complete and in range, no two share a
// place, and every refused entry leaves exactly one line naming it.
#include "VirtualDriveConfig.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace rilvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view setting(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> errors;
    const auto entries = parseVirtualDrives(setting, errors);

    size_t pieces = 1;
    for (char c : setting)
        pieces += c == ';';
    if (entries.size() + errors.size() > pieces)
        std::abort();
    for (const std::string& line : errors)
        if (line.rfind("RILVANE_VIRTUAL_DRIVES entry \"", 0) != 0 || line.find("; entry skipped") == std::string::npos)
            std::abort();
    for (size_t i = 0; i < entries.size(); ++i) {
        const VirtualDriveEntry& e = entries[i];
        if (e.cuePath.empty() || e.text.empty() || setting.find(e.text) == std::string_view::npos)
            std::abort();
        if (e.aspi ? (e.adapter > 254 || e.target > 15) : (e.letter < 'A' || e.letter > 'Z'))
            std::abort();
        for (size_t j = 0; j < i; ++j) {
            const VirtualDriveEntry& o = entries[j];
            if (o.aspi == e.aspi && (e.aspi ? o.adapter == e.adapter && o.target == e.target : o.letter == e.letter))
                std::abort();
        }
    }
    return 0;
}
