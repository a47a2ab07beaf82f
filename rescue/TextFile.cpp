#include "rescue/TextFile.h"

#include <cstring>

#include "platform/OutputFile.h"

namespace rilvane::rescue {

bool replaceFile(const std::string& path, const std::string& text, std::string& reason)
{
    int error = 0;
    const auto file = platform::createOutputFile(platform::FilePath::fromUtf8(path), error);
    bool ok = file != nullptr;
    if (ok) {
        ok = file->write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) && file->flush();
        ok = file->close() && ok;
        error = file->lastError();
    }
    if (!ok) reason = std::strerror(error != 0 ? error : EIO);
    return ok;
}

}  // namespace rilvane::rescue
