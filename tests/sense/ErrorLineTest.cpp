#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ListedKeys.h"
#include "drive/ErrorLine.h"
#include "drive/scsierrs.h"

using rilvane::errorLine;
using rilvane::geterrorMessage;

TEST(ErrorLine, LinesOfFailedReads)
{
    struct Case {
        uint8_t status, key, asc, ascq;
        const char* line;
    };
    const Case cases[] = {
        {2, 0x03, 0x11, 0x05, "Fehler: SCSI Status 2; Code:3;11;5 \"Medium Error: l-ec uncorrectable error\""},
        {2, 0x02, 0x3A, 0x00, "Fehler: SCSI Status 2; Code:2;3A;0 \"Not Ready: medium not present\""},
        {2, 0x05, 0x64, 0x00,
         "Fehler: SCSI Status 2; Code:5;64;0 \"Illegal Request: illegal mode for this track\""},
        {2, 0x06, 0x28, 0x00,
         "Fehler: SCSI Status 2; Code:6;28;0 \"Unit Attention: not ready to ready change, medium may "
         "have changed\""},
        {2, 0x04, 0x40, 0x00,
         "Fehler: SCSI Status 2; Code:4;40;0 \"Hardware Error: ram failure (should use 40 nn) nn "
         "diagnostic failure on component nn (80h-ffh)\""},
        {2, 0x23, 0x11, 0x00, "Fehler: SCSI Status 2; Code:23;11;0 \"Fehler: unrecovered read error\""},
        {2, 0x03, 0x11, 0x30, "Fehler: SCSI Status 2; Code:3;11;30 \"Medium Error:\""},
        {0, 0x00, 0x00, 0x00,
         "Fehler: SCSI Status 0; Code:0;0;0 \"No Additional Sense: no additional sense information\""},
        // Flag bits alone, the last key name, and every byte at its maximum.
        {2, 0x80, 0x3A, 0x02, "Fehler: SCSI Status 2; Code:80;3A;2 \"Fehler: medium not present - tray open\""},
        {2, 0x4F, 0x00, 0x00, "Fehler: SCSI Status 2; Code:4F;0;0 \"Fehler: no additional sense information\""},
        {2, 0x10, 0x00, 0x00, "Fehler: SCSI Status 2; Code:10;0;0 \"Fehler: no additional sense information\""},
        {2, 0x0F, 0x80, 0x00, "Fehler: SCSI Status 2; Code:F;80;0 \"Reserved: start vendor unique\""},
        {255, 0xFF, 0xFF, 0xFF, "Fehler: SCSI Status 255; Code:FF;FF;FF \"Fehler:\""},
        {8, 0x01, 0x5D, 0xFF,
         "Fehler: SCSI Status 8; Code:1;5D;FF \"Recovered Error: failure prediction threshold exceeded "
         "(false)\""},
        {24, 0x0B, 0x4D, 0x07, "Fehler: SCSI Status 24; Code:B;4D;7 \"Aborted Command:\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorLine(c.status, c.key, c.asc, c.ascq), c.line);
}

// Drives answer in fixed format (0x70/0x71, the valid bit may be set) or in
// descriptor format (0x72/0x73); both give the same line for the same code.
TEST(ErrorLine, DescriptorSenseReadsLikeFixedSense)
{
    struct Code {
        uint8_t key, asc, ascq;
    };
    for (const Code code : {Code{0x03, 0x11, 0x05}, Code{0x02, 0x3A, 0x01}, Code{0x02, 0x04, 0x01},
                            Code{0x06, 0x28, 0x00}, Code{0x0F, 0x80, 0x00}}) {
        const std::string expected = errorLine(2, code.key, code.asc, code.ascq);
        for (const uint8_t responseCode : {0x70, 0x71, 0xF0, 0xF1}) {
            uint8_t fixed[32] = {responseCode, 0, code.key};
            fixed[7] = 10;
            fixed[12] = code.asc;
            fixed[13] = code.ascq;
            EXPECT_EQ(errorLine(2, fixed), expected) << int(responseCode);
        }
        for (const uint8_t responseCode : {0x72, 0x73}) {
            // The high nibble of byte 1 is reserved; bytes 12 and 13 belong to descriptors.
            const uint8_t descriptor[32] = {responseCode, static_cast<uint8_t>(0xA0 | code.key), code.asc, code.ascq,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0x99, 0x99};
            EXPECT_EQ(errorLine(2, descriptor), expected) << int(responseCode);
        }
    }
    // Fixed format keeps the key byte whole, flag bits and all; a sense area
    // nothing was written to reads as fixed format of zeros.
    uint8_t flagged[32] = {0x70, 0, 0x23};
    flagged[12] = 0x11;
    EXPECT_EQ(errorLine(2, flagged), "Fehler: SCSI Status 2; Code:23;11;0 \"Fehler: unrecovered read error\"");
    const uint8_t empty[32] = {};
    EXPECT_EQ(errorLine(0, empty), errorLine(0, 0, 0, 0));
}

TEST(ErrorLine, NnRowsMatchOnlyQualifierZero)
{
    EXPECT_EQ(geterrorMessage(4, 0x40, 0x81), "Hardware Error:");
    EXPECT_EQ(geterrorMessage(11, 0x4D, 0x00), "Aborted Command: nn tagged overlapped commands (nn = queue tag)");
    EXPECT_EQ(geterrorMessage(11, 0x4D, 0x2A), "Aborted Command:");
}

// Every code pair decodes to exactly the rows listed with it. This catches a
// wrong octal key as well as a description that happens to hold a key.
TEST(ErrorLine, EveryCodePairFindsItsOwnRows)
{
    const auto& table = rilvane::scsierrs::additionalSense;
    for (int asc = 0; asc < 256; ++asc) {
        for (int ascq = 0; ascq < 256; ++ascq) {
            std::string expected = "Recovered Error:";
            for (size_t i = 0; i < kListedKeys.size(); ++i) {
                if (kListedKeys[i].asc == asc && kListedKeys[i].ascq == ascq) {
                    expected += ' ';
                    expected += table[i].substr(8);
                }
            }
            const std::string text =
                geterrorMessage(1, static_cast<uint8_t>(asc), static_cast<uint8_t>(ascq));
            if (text != expected) {
                ADD_FAILURE() << "ASC " << asc << " ASCQ " << ascq << ": " << text;
                return;
            }
        }
    }
}
