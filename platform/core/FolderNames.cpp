#include "platform/FolderNames.h"

#include <dirent.h>

#include <cstring>
#include <memory>

namespace rilvane::platform {

std::vector<std::string> folderEntryNames(const std::string& folder)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), &::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    return names;
}

}  // namespace rilvane::platform
