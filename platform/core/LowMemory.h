// Page allocations below 4 GiB, behind VirtualAlloc and VirtualFree.
//
// Why below 4 GiB: the records the program hands to the ASPI layer and the
// 20-byte sound buffer description keep their 32-bit layout, so a buffer's
// address travels in a 32-bit field (SRB_BufPointer, the wave format
// address). On a 64-bit build that field can only hold the real address when
// the memory sits in the low 4 GiB of the address space; the program
// allocates such blocks with VirtualAlloc, which therefore never hands out
// anything higher.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

namespace rilvane::platform {

class LowMemory {
public:
    static LowMemory& instance();

    // Fresh zero-filled pages with the given protection (PROT_* bits), or
    // nullptr with errno set.
    void* allocate(std::size_t size, int protection);

    // Whether [address, address + size) lies inside one live allocation.
    bool contains(const void* address, std::size_t size) const;

    // Sets the protection of pages inside a live allocation.
    bool commit(void* address, std::size_t size, int protection);

    // Releases a whole allocation by its start address.
    bool release(void* address);

    // Gives pages back to the system but keeps the range reserved (their
    // contents read as zero afterwards).
    bool decommit(void* address, std::size_t size);

    // Counts the releases and protection changes so far: a range found
    // usable inside an allocation stays usable while this count is the same.
    uint64_t changes() const { return changes_.load(std::memory_order_acquire); }

    static constexpr uint64_t limit = uint64_t{1} << 32;

private:
    LowMemory() = default;

    mutable std::mutex mutex_;
    std::map<uintptr_t, std::size_t> regions_;  // start -> length
    // Counted after the change is made, so that a check that read the count
    // before it looked at the pages never outlives the change.
    std::atomic<uint64_t> changes_{0};
};

}  // namespace rilvane::platform
