#include "LowMemory.h"

#include "LastError.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace rilvane::platform {

namespace {

std::size_t pageSize()
{
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

bool endsBelowLimit(const void* address, std::size_t length)
{
    const auto start = reinterpret_cast<uintptr_t>(address);
    return uint64_t{start} + length <= LowMemory::limit;
}

void* mapLow(std::size_t length, int protection)
{
    constexpr int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if UINTPTR_MAX <= 0xFFFFFFFFu
    // A 32-bit process has nothing above 4 GiB.
    void* address = mmap(nullptr, length, protection, flags, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
#elif defined(__x86_64__) && defined(MAP_32BIT)
    // x86-64 Linux places MAP_32BIT mappings in the first 2 GiB.
    void* address = mmap(nullptr, length, protection, flags | MAP_32BIT, -1, 0);
    if (address == MAP_FAILED) return nullptr;
    if (!endsBelowLimit(address, length)) {
        munmap(address, length);
        errno = ENOMEM;
        return nullptr;
    }
    return address;
#else
    // Elsewhere there is no such flag: ask for places in the low 4 GiB as a
    // hint and keep only an answer that really lies there.
    for (uint64_t hint = 0x10000000u; hint + length <= LowMemory::limit; hint += 0x10000000u) {
        void* address = mmap(reinterpret_cast<void*>(static_cast<uintptr_t>(hint)), length, protection, flags, -1, 0);
        if (address == MAP_FAILED) return nullptr;
        if (endsBelowLimit(address, length)) return address;
        munmap(address, length);
    }
    errno = ENOMEM;
    return nullptr;
#endif
}

}  // namespace

LowMemory& LowMemory::instance()
{
    static LowMemory* memory = new LowMemory();
    return *memory;
}

void* LowMemory::allocate(std::size_t size, int protection)
{
    if (size == 0 || size >= limit) {
        errno = size == 0 ? EINVAL : ENOMEM;
        return nullptr;
    }
    const std::size_t length = (size + pageSize() - 1) / pageSize() * pageSize();
    void* address = mapLow(length, protection);
    if (address == nullptr) return nullptr;
    std::lock_guard lock(mutex_);
    regions_[reinterpret_cast<uintptr_t>(address)] = length;
    return address;
}

bool LowMemory::contains(const void* address, std::size_t size) const
{
    const auto start = reinterpret_cast<uintptr_t>(address);
    std::lock_guard lock(mutex_);
    auto it = regions_.upper_bound(start);
    if (it == regions_.begin()) return false;
    --it;
    return start >= it->first && start - it->first <= it->second && size <= it->second - (start - it->first);
}

bool LowMemory::release(void* address)
{
    std::size_t length = 0;
    {
        std::lock_guard lock(mutex_);
        auto it = regions_.find(reinterpret_cast<uintptr_t>(address));
        if (it == regions_.end()) return false;
        length = it->second;
        regions_.erase(it);
    }
    munmap(address, length);
    changes_.fetch_add(1, std::memory_order_release);
    return true;
}

bool LowMemory::commit(void* address, std::size_t size, int protection)
{
    const auto start = reinterpret_cast<uintptr_t>(address) / pageSize() * pageSize();
    const auto end = reinterpret_cast<uintptr_t>(address) + size;
    if (!contains(reinterpret_cast<void*>(start), end - start)) return false;
    const bool done = mprotect(reinterpret_cast<void*>(start), end - start, protection) == 0;
    changes_.fetch_add(1, std::memory_order_release);
    return done;
}

bool LowMemory::decommit(void* address, std::size_t size)
{
    const auto start = reinterpret_cast<uintptr_t>(address) / pageSize() * pageSize();
    const auto end = reinterpret_cast<uintptr_t>(address) + size;
    if (!contains(reinterpret_cast<void*>(start), end - start)) return false;
    return madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED) == 0;
}

}  // namespace rilvane::platform

namespace {

constexpr DWORD memDecommit = 0x4000u;
constexpr DWORD pageNoAccess = 0x01u;
constexpr DWORD pageReadOnly = 0x02u;

bool protectionFor(DWORD protect, int& protection)
{
    switch (protect) {
    case pageNoAccess: protection = PROT_NONE; return true;
    case pageReadOnly: protection = PROT_READ; return true;
    case PAGE_READWRITE: protection = PROT_READ | PROT_WRITE; return true;
    default: return false;
    }
}

}  // namespace

using rilvane::platform::LowMemory;
using rilvane::platform::setLastError;

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect)
{
    int protection = 0;
    if (size == 0 || (allocationType & (MEM_COMMIT | MEM_RESERVE)) == 0 || !protectionFor(protect, protection)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& memory = LowMemory::instance();
    if (address != nullptr) {
        // Committing inside an earlier reservation: the pages already exist.
        if ((allocationType & MEM_RESERVE) == 0 && memory.commit(address, size, protection)) return address;
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* block = memory.allocate(size, protection);
    if (block == nullptr) setLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType)
{
    auto& memory = LowMemory::instance();
    bool done = false;
    if (freeType == MEM_RELEASE)
        done = size == 0 && memory.release(address);  // Windows wants size 0 here
    else if (freeType == memDecommit)
        done = size != 0 && memory.decommit(address, size);
    if (!done) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
