#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>

#include "ListedKeys.h"
#include "drive/scsierrs.h"

using rilvane::scsierrs::additionalSense;
using rilvane::scsierrs::senseKeyNames;

namespace {

std::string keyOf(AscPair p)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\%03o\\%03o", p.asc, p.ascq);
    return buf;
}

std::string_view descriptionOf(std::string_view entry) { return entry.substr(8); }

}  // namespace

TEST(SenseTables, SenseKeyNamesInOrder)
{
    const char* expected[] = {"No Additional Sense", "Recovered Error", "Not Ready",
                              "Medium Error",        "Hardware Error",  "Illegal Request",
                              "Unit Attention",      "Data Protect",    "Blank Check",
                              "Vendor Unique",       "Copy Aborted",    "Aborted Command",
                              "Equal",               "Volume Overflow", "Miscompare",
                              "Reserved"};
    ASSERT_EQ(senseKeyNames.size(), 16u);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(senseKeyNames[i], expected[i]) << "sense key " << i;
}

TEST(SenseTables, KeysFollowTheListedSequence)
{
    ASSERT_EQ(additionalSense.size(), kListedKeys.size());
    for (size_t i = 0; i < kListedKeys.size(); ++i) {
        ASSERT_GT(additionalSense[i].size(), 8u) << "row " << i;
        EXPECT_EQ(additionalSense[i].substr(0, 8), keyOf(kListedKeys[i])) << "row " << i;
    }
}

TEST(SenseTables, DescriptionsAreLowerCaseAndWithoutKeys)
{
    for (size_t i = 0; i < additionalSense.size(); ++i) {
        const std::string_view d = descriptionOf(additionalSense[i]);
        EXPECT_FALSE(d.empty()) << "row " << i;
        EXPECT_NE(d.front(), ' ') << "row " << i;
        EXPECT_NE(d.back(), ' ') << "row " << i;
        // A backslash in a description could make it match a foreign key.
        EXPECT_EQ(d.find('\\'), std::string_view::npos) << "row " << i;
        EXPECT_EQ(d.find('"'), std::string_view::npos) << "row " << i;
        for (char c : d)
            EXPECT_FALSE(std::isupper(static_cast<unsigned char>(c))) << "row " << i << ": " << d;
    }
}

TEST(SenseTables, TellingRowsWordForWord)
{
    struct Row {
        AscPair key;
        int occurrence;  // 0 = first row with this key, 1 = second
        const char* description;
    };
    const Row rows[] = {
        {{0x00, 0x00}, 0, "no additional sense information"},
        {{0x00, 0x11}, 0, "audio play operation in progress"},
        {{0x02, 0x00}, 0, "no seek complete"},
        {{0x04, 0x00}, 0, "logical unit not ready, cause not reportable"},
        {{0x04, 0x01}, 0, "logical unit is in process of becoming ready"},
        {{0x04, 0x02}, 0, "logical unit not ready, initializing cmd. required"},
        {{0x06, 0x00}, 0, "no reference position found"},
        {{0x09, 0x00}, 0, "track following error"},
        {{0x11, 0x00}, 0, "unrecovered read error"},
        {{0x11, 0x05}, 0, "l-ec uncorrectable error"},
        {{0x11, 0x06}, 0, "circ unrecovered error"},
        {{0x15, 0x00}, 0, "random positioning error"},
        {{0x17, 0x04}, 0, "recovered data with retries and/or circ applied"},
        {{0x18, 0x01}, 0, "recovered data with error corr. & retries applied"},
        {{0x20, 0x00}, 0, "invalid command operation code"},
        {{0x21, 0x00}, 0, "logical block address out of range"},
        {{0x24, 0x00}, 0, "invalid field in cdb"},
        {{0x28, 0x00}, 0, "not ready to ready change, medium may have changed"},
        {{0x29, 0x00}, 0, "power on, reset, or bus device reset occurred"},
        {{0x3A, 0x00}, 0, "medium not present"},
        {{0x3A, 0x01}, 0, "medium not present - tray closed"},
        {{0x3A, 0x02}, 0, "medium not present - tray open"},
        {{0x40, 0x00}, 0, "ram failure (should use 40 nn)"},
        {{0x40, 0x00}, 1, "nn diagnostic failure on component nn (80h-ffh)"},
        {{0x4D, 0x00}, 0, "nn tagged overlapped commands (nn = queue tag)"},
        {{0x57, 0x00}, 0, "unable to recover table-of-contents"},
        {{0x5D, 0xFF}, 0, "failure prediction threshold exceeded (false)"},
        {{0x63, 0x00}, 0, "end of user area encountered on this track"},
        {{0x64, 0x00}, 0, "illegal mode for this track"},
        {{0x80, 0x00}, 0, "start vendor unique"},
    };
    for (const Row& row : rows) {
        const std::string key = keyOf(row.key);
        int seen = 0;
        bool found = false;
        for (std::string_view entry : additionalSense) {
            if (entry.substr(0, 8) != key)
                continue;
            if (seen++ == row.occurrence) {
                EXPECT_EQ(descriptionOf(entry), row.description) << key;
                found = true;
                break;
            }
        }
        EXPECT_TRUE(found) << "no row " << row.occurrence << " for " << row.description;
    }
    // The whole entry as stored, key included.
    EXPECT_EQ(additionalSense[183], "\\072\\000medium not present");
}
