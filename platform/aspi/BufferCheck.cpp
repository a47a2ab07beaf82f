#include "BufferCheck.h"

#include <cstdint>
#include <cstdio>

namespace rilvane::platform {

bool isUsableBuffer(const void* address, std::size_t length, bool forWriting)
{
    if (address == nullptr) return false;
    // The range must be covered by the process's mappings (perhaps several
    // adjacent ones) with the rights needed; a VirtualAlloc block whose
    // pages were made inaccessible does not count.
    uintptr_t position = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = position + length;
    if (end < position) return false;
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr) return false;
    char line[512];
    while (position < end && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long long start = 0, stop = 0;
        char read = '-', write = '-';
        if (std::sscanf(line, "%llx-%llx %c%c", &start, &stop, &read, &write) != 4) continue;
        if (stop <= position) continue;
        // Mappings are listed in address order: a gap ends the search.
        if (start > position || read != 'r' || (forWriting && write != 'w')) break;
        position = static_cast<uintptr_t>(stop);
    }
    std::fclose(maps);
    return position >= end;
}

}  // namespace rilvane::platform
