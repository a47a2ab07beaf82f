// Replacing a file of a rescue (map, CUE sheets, log, report) as a whole:
// written under another name beside it, handed to the disk, then given
// the name in one step (platform::createOutputFile), so that a crash or a
// full disk leaves either the old file or the new one, never a part.
#pragma once

#include <string>

namespace rilvane::rescue {

// False with the system's reason in `reason` when any step failed; the
// file at `path` is then as it was.
bool replaceFile(const std::string& path, const std::string& text, std::string& reason);

}  // namespace rilvane::rescue
