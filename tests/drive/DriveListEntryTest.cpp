// Drive names as discovery stores them and the drive list shows them.
#include <gtest/gtest.h>

#include "drive/DriveListEntry.h"

namespace rilvane {
namespace {

TEST(DriveName, KeepsAtMostSixteenBytesAsTheyCame)
{
    DriveName name;
    name.assign("CDROM DRIVE 1234567");
    EXPECT_EQ(name.length, 16);
    EXPECT_EQ(name.str(), "CDROM DRIVE 1234");
    name.assign("DVD     ");
    EXPECT_EQ(name.str(), "DVD     ");
    name.assign(std::string("A\0B", 3));
    EXPECT_EQ(name.str(), std::string("A\0B", 3));
}

TEST(DriveListEntry, LetterAndNameOrNameAlone)
{
    DriveRecord drive;
    drive.letter = 'D';
    drive.name.assign("CDROM   ");
    EXPECT_EQ(driveListEntry(drive, TransportMode::Spti), "D: CDROM   ");
    EXPECT_EQ(driveListEntry(drive, TransportMode::Aspi), "CDROM   ");

    // Control bytes show as blanks, high bytes are read as Windows-1252.
    drive.name.assign(std::string("CD\0\x7F\xE4\x80\x81", 7));
    EXPECT_EQ(driveListEntry(drive, TransportMode::Aspi), "CD  \xC3\xA4\xE2\x82\xAC?");
}

}  // namespace
}  // namespace rilvane
