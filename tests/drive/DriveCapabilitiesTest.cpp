// The capabilities page is found behind the block descriptors, and an
// answer too short or with another page says nothing rather than "no C2".
#include <gtest/gtest.h>

#include "drive/DriveCapabilities.h"

namespace rilvane {
namespace {

std::vector<uint8_t> answer(size_t descriptors, uint8_t pageCode, uint8_t byte5)
{
    std::vector<uint8_t> a(8 + descriptors, 0);
    a[6] = static_cast<uint8_t>(descriptors >> 8);
    a[7] = static_cast<uint8_t>(descriptors);
    const std::vector<uint8_t> page{static_cast<uint8_t>(pageCode | 0x80), 0x14, 0x3F, 0x00, 0x71, byte5};
    a.insert(a.end(), page.begin(), page.end());
    return a;
}

TEST(DriveCapabilities, ReadsC2BehindTheBlockDescriptors)
{
    EXPECT_TRUE(DriveCapabilities::parse(answer(0, 0x2A, 0x13))->c2Pointers);
    EXPECT_FALSE(DriveCapabilities::parse(answer(0, 0x2A, 0x03))->c2Pointers);
    EXPECT_TRUE(DriveCapabilities::parse(answer(8, 0x2A, 0x10))->c2Pointers);

    EXPECT_FALSE(DriveCapabilities::parse(answer(0, 0x2B, 0x10)));  // another page
    std::vector<uint8_t> cut = answer(8, 0x2A, 0x10);
    cut.pop_back();
    EXPECT_FALSE(DriveCapabilities::parse(cut));
    EXPECT_FALSE(DriveCapabilities::parse({0, 0, 0, 0, 0, 0, 0xFF, 0xFF}));  // descriptors past the end
    EXPECT_FALSE(DriveCapabilities::parse({}));
}

}  // namespace
}  // namespace rilvane
