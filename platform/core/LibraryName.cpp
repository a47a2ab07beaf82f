#include "LibraryName.h"

namespace rilvane::platform {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string libraryFileName(std::string_view windowsName)
{
    const auto slash = windowsName.find_last_of("\\/:");
    if (slash != std::string_view::npos) windowsName.remove_prefix(slash + 1);

    std::string base;
    base.reserve(windowsName.size());
    for (char c : windowsName) base.push_back(lower(c));

    constexpr std::string_view dll = ".dll";
    if (base.size() >= dll.size() && base.compare(base.size() - dll.size(), dll.size(), dll) == 0)
        base.resize(base.size() - dll.size());
    // Windows reads a trailing dot as "no extension".
    if (!base.empty() && base.back() == '.') base.pop_back();
    if (base.empty()) return {};
    return "lib" + base + ".so";
}

}  // namespace rilvane::platform
