// VirtualAlloc hands out memory whose address fits 32 bits.

#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(VirtualAlloc, BlocksLieBelowFourGiBAndAreZeroed)
{
    std::vector<void*> blocks;
    for (SIZE_T size : {SIZE_T{1}, SIZE_T{89056}, SIZE_T{117600}, SIZE_T{4} << 20}) {
        void* block = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        ASSERT_NE(block, nullptr) << size;
        const auto address = reinterpret_cast<uintptr_t>(block);
        EXPECT_LE(uint64_t{address} + size, uint64_t{1} << 32) << size;
        const auto* bytes = static_cast<const unsigned char*>(block);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[size - 1], 0);
        std::memset(block, 0xAB, size);
        // The address survives a trip through a 32-bit field.
        const auto asField = static_cast<uint32_t>(address);
        EXPECT_EQ(reinterpret_cast<unsigned char*>(static_cast<uintptr_t>(asField))[size - 1], 0xAB);
        blocks.push_back(block);
    }
    for (void* block : blocks) EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
}

TEST(VirtualAlloc, BadRequestsFailCleanly)
{
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(VirtualAlloc(nullptr, 4096, 0, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, 0x40 /* execute */), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, SIZE_T{8} << 30, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

    void* block = VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(block, nullptr);
    EXPECT_FALSE(VirtualFree(block, 8192, MEM_RELEASE));  // release wants size 0
    EXPECT_FALSE(VirtualFree(static_cast<char*>(block) + 4096, 0, MEM_RELEASE));
    EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(block, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(nullptr, 0, MEM_RELEASE));
}

TEST(VirtualAlloc, CommitInsideAReservation)
{
    auto* block = static_cast<char*>(VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(VirtualAlloc(block + 4096, 4096, MEM_COMMIT, PAGE_READWRITE), block + 4096);
    block[4096] = 1;
    EXPECT_EQ(VirtualAlloc(block + 61440, 8192, MEM_COMMIT, PAGE_READWRITE), nullptr);  // runs past the end
    EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
}

}  // namespace
