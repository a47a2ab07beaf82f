#include "rescue/ToolFiles.h"

#include <cstring>

namespace rilvane::rescue {

std::string fileProblemText(const platform::FileProblem& problem, uint64_t limit, const std::string& failed)
{
    using platform::FileKind;
    if (problem.tooLarge)
        return "ist größer als " + std::to_string(limit >> 20) + " MB, das kann sie nicht sein";
    switch (problem.kind) {
    case FileKind::Folder: return "ist ein Ordner, keine Datei";
    case FileKind::Fifo: return "ist eine benannte Pipe (FIFO), keine Datei";
    case FileKind::Device: return "ist ein Gerät, keine Datei";
    case FileKind::Socket: return "ist ein Socket, keine Datei";
    case FileKind::Link: return "ist ein symbolischer Link; Dateien der Rettung werden nicht über Links geöffnet";
    case FileKind::Other: return "ist keine gewöhnliche Datei";
    case FileKind::Missing: return "gibt es nicht";
    case FileKind::Regular: break;
    }
    return failed + ": " + std::strerror(problem.error);
}

bool readToolFile(const std::string& path, uint64_t limit, std::string& bytes, std::string& problem,
                  platform::Links links)
{
    const platform::FileProblem p = platform::readRegularFile(platform::FilePath::fromUtf8(path), limit, bytes, links);
    if (!p) return true;
    problem = fileProblemText(p, limit);
    return false;
}

}  // namespace rilvane::rescue
