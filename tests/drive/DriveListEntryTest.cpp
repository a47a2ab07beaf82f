// Drive names as discovery stores them and the drive list shows them.
#include <cerrno>

#include <gtest/gtest.h>

#include "drive/DriveListEntry.h"
#include "drive/DriveDiscovery.h"

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

namespace rilvane {
namespace {

// What the log pane says about a drive node that cannot be used.
TEST(UnusableDriveLine, NamesTheNodeTheReasonAndForPermissionsTheGroup)
{
    struct Case {
        int error;
        const char* groupName;
        const char* expected;
        unsigned mode = 0660;
        bool cdDevice = true;
    };
    const Case cases[] = {
        {EACCES, "cdrom",
         "Laufwerk /dev/sr0 nicht nutzbar: keine Zugriffsrechte (text). Abhilfe: Mitglied der Gruppe „cdrom“ werden "
         "und neu anmelden."},
        {EACCES, "",
         "Laufwerk /dev/sr0 nicht nutzbar: keine Zugriffsrechte (text). Abhilfe: Mitglied der Gruppe mit der Nummer "
         "24 werden und neu anmelden."},
        // A group that may only read still helps (reading commands work).
        {EACCES, "cdrom",
         "Laufwerk /dev/sr0 nicht nutzbar: keine Zugriffsrechte (text). Abhilfe: Mitglied der Gruppe „cdrom“ werden "
         "und neu anmelden.",
         0640},
        // Joining a group that may not read the node would not help.
        {EACCES, "root", "Laufwerk /dev/sr0 nicht nutzbar: keine Zugriffsrechte (text).", 0600},
        {EACCES, "cdrom", "Laufwerk /dev/sr0 nicht nutzbar: keine Zugriffsrechte (text).", 0606},
        {ENXIO, "cdrom", "Laufwerk /dev/sr0 nicht nutzbar: Gerät nicht vorhanden (text)."},
        {ENOMEDIUM, "cdrom", "Laufwerk /dev/sr0 nicht nutzbar: keine CD eingelegt (text)."},
        {EBUSY, "cdrom", "Laufwerk /dev/sr0 nicht nutzbar: wird von einem anderen Programm benutzt (text)."},
        {EIO, "cdrom", "Laufwerk /dev/sr0 nicht nutzbar: Fehler 5 (text)."},
        {ENODEV, "cdrom", "Laufwerk /dev/sr0 nicht nutzbar: keine Gerätedatei eines CD-Laufwerks.", 0644, false},
    };
    for (const Case& c : cases) {
        platform::OpticalNode node;
        node.path = "/dev/sr0";
        node.error = c.error;
        node.systemText = "text";
        node.groupId = 24;
        node.groupName = c.groupName;
        node.mode = c.mode;
        node.cdDevice = c.cdDevice;
        EXPECT_EQ(unusableDriveLine(node), c.expected);
    }
}

}  // namespace
}  // namespace rilvane
