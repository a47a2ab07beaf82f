// The names of a folder's entries as the file system holds them.
#pragma once

#include <string>
#include <vector>

namespace rilvane::platform {

// The names in the folder `folder` (a path in the file system's own bytes),
// byte for byte as stored (not necessarily UTF-8), without "." and "..".
// Empty when the folder cannot be read.
std::vector<std::string> folderEntryNames(const std::string& folder);

}  // namespace rilvane::platform
