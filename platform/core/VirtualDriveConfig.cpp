#include "VirtualDriveConfig.h"

#include <charconv>

namespace rilvane::platform {

namespace {

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool parseNumber(std::string_view text, unsigned maximum, uint8_t& value)
{
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || parsed > maximum) return false;
    value = static_cast<uint8_t>(parsed);
    return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Reads TARGET into entry; returns an explanation when it is not valid.
std::string parseTarget(std::string_view target, VirtualDriveEntry& entry)
{
    if (target.size() > 5 && equalsIgnoringCase(target.substr(0, 5), "aspi:")) {
        const std::string_view numbers = target.substr(5);
        const auto colon = numbers.find(':');
        if (colon == std::string_view::npos) return "ASPI target must be aspi:ADAPTER:TARGET";
        if (!parseNumber(numbers.substr(0, colon), 254, entry.adapter)) return "adapter must be a number from 0 to 254";
        // Drives are looked for at targets 0 to 15 only; a higher one would
        // be accepted here and never found.
        if (!parseNumber(numbers.substr(colon + 1), 15, entry.target))
            return "target must be a number from 0 to 15 (no drive is looked for at a higher one)";
        entry.aspi = true;
        return {};
    }
    if (target.size() == 2 && target[1] == ':') target.remove_suffix(1);
    if (target.size() == 1) {
        char letter = target[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        if (letter >= 'A' && letter <= 'Z') {
            entry.letter = letter;
            return {};
        }
    }
    return "target must be a drive letter (E) or aspi:ADAPTER:TARGET";
}

}  // namespace

std::vector<VirtualDriveEntry> parseVirtualDrives(std::string_view setting, std::vector<std::string>& errors)
{
    std::vector<VirtualDriveEntry> entries;
    while (!setting.empty()) {
        const auto semicolon = setting.find(';');
        const std::string_view text = trim(setting.substr(0, semicolon));
        setting = semicolon == std::string_view::npos ? std::string_view() : setting.substr(semicolon + 1);
        if (text.empty()) continue;

        VirtualDriveEntry entry;
        entry.text = std::string(text);
        const auto fail = [&](const std::string& why) {
            errors.push_back("RILVANE_VIRTUAL_DRIVES entry \"" + entry.text + "\": " + why + "; entry skipped");
        };
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            fail("expected TARGET=CUE[,DEFECTS]");
            continue;
        }
        if (const std::string why = parseTarget(trim(text.substr(0, equals)), entry); !why.empty()) {
            fail(why);
            continue;
        }
        const std::string_view files = text.substr(equals + 1);
        const auto comma = files.find(',');
        entry.cuePath = std::string(trim(files.substr(0, comma)));
        if (comma != std::string_view::npos) {
            entry.defectsPath = std::string(trim(files.substr(comma + 1)));
            if (entry.defectsPath.empty()) {
                fail("defect map path after ',' is empty");
                continue;
            }
        }
        if (entry.cuePath.empty()) {
            fail("no CUE sheet given");
            continue;
        }
        bool duplicate = false;
        for (const auto& earlier : entries)
            duplicate = duplicate || (earlier.aspi == entry.aspi &&
                                      (entry.aspi ? earlier.adapter == entry.adapter && earlier.target == entry.target
                                                  : earlier.letter == entry.letter));
        if (duplicate) {
            fail("this target is already taken by an earlier entry");
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace rilvane::platform
