// The file system's own bytes for a path the file dialog gives.
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace rilvane {

// A name whose bytes are not UTF-8 reaches the window with U+FFFD in place
// of each undecodable byte; written back as UTF-8 it would name a second,
// new file. Each part of `path` that holds U+FFFD is looked up among the
// names of its folder: the one name that reads the same gives its own
// bytes. A part that matches no name stays as it reads (a name typed with
// that character, or a new file). Empty when a part matches more than one
// name, so that it cannot be told which was meant.
std::optional<std::string> nativePath(const QString& path);

}  // namespace rilvane
