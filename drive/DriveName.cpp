#include <algorithm>
#include <cstring>

#include "drive/DriveTable.h"

namespace rilvane {

void DriveName::assign(const char* bytes, size_t count)
{
    const size_t taken = std::min(count, sizeof(chars));
    std::memset(chars, 0, sizeof(chars));
    if (taken > 0)
        std::memcpy(chars, bytes, taken);
    length = static_cast<uint8_t>(taken);
}

}  // namespace rilvane
