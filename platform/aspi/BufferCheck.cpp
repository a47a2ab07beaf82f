#include "BufferCheck.h"

#include "LowMemory.h"

#include <cstdint>
#include <cstdio>

namespace rilvane::platform {

namespace {

// The process's mappings, read from /proc/self/maps: whether they cover
// [position, end) with the rights needed.
bool mappingsCover(uintptr_t position, uintptr_t end, bool forWriting)
{
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

// The last range found usable on this thread. A read loop hands in the same
// transfer window with every request, so reading the mappings once per
// window is enough. Only ranges inside memory of VirtualAlloc are kept: the
// platform counts every release and protection change there, and a change
// makes the next request look again. (Trivially destructible, so that it
// does not keep the library loaded past FreeLibrary.)
struct UsableRange {
    uintptr_t start = 0;
    uintptr_t end = 0;
    bool writable = false;
    uint64_t changes = 0;
};
thread_local UsableRange lastUsable;

}  // namespace

bool isUsableBuffer(const void* address, std::size_t length, bool forWriting)
{
    if (address == nullptr) return false;
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = start + length;
    if (end < start) return false;

    LowMemory& memory = LowMemory::instance();
    const uint64_t changes = memory.changes();  // before the pages are looked at
    const UsableRange& last = lastUsable;
    if (last.end != 0 && start >= last.start && end <= last.end && (last.writable || !forWriting) &&
        last.changes == changes)
        return true;

    // The range must be covered by the process's mappings (perhaps several
    // adjacent ones) with the rights needed; a VirtualAlloc block whose
    // pages were made inaccessible does not count.
    if (!mappingsCover(start, end, forWriting)) return false;
    if (memory.contains(address, length)) lastUsable = UsableRange{start, end, forWriting, changes};
    return true;
}

}  // namespace rilvane::platform
