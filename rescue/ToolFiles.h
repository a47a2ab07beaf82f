// The files rilvane-rip reads by name: only regular files, each up to a
// size that fits what it can be, so that a FIFO, a device, a folder or an
// endless file at the name gives a message instead of a wait or a crash.
#pragma once

#include <cstdint>
#include <string>

#include "platform/OwnFiles.h"

namespace rilvane::rescue {

struct FileLimits {
    // A log holds every run on the folder, with a line per failed read.
    static constexpr uint64_t kLog = uint64_t{256} << 20;
    // A disc's AccurateRip file: a few hundred bytes per submission.
    static constexpr uint64_t kAccurateRip = uint64_t{16} << 20;
    // A map with a line for every sector of the longest disc.
    static constexpr uint64_t kMap = uint64_t{64} << 20;
};

// What is wrong with a file, as the end of a sentence that names it:
// "ist ein Ordner, keine Datei"; a failure of the system as `failed` and
// its reason ("ist nicht lesbar: Permission denied").
std::string fileProblemText(const platform::FileProblem& problem, uint64_t limit,
                            const std::string& failed = "ist nicht lesbar");

// Reads the regular file `path` of at most `limit` bytes; false with
// `problem` ("ist ein Ordner, keine Datei") when it cannot be.
bool readToolFile(const std::string& path, uint64_t limit, std::string& bytes, std::string& problem,
                  platform::Links links = platform::Links::Follow);

}  // namespace rilvane::rescue
