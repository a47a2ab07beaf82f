// The text of a drive's entry in the drive list.
#pragma once

#include <string>

#include "drive/DriveTable.h"

namespace rilvane {

// Pass-through mode: the letter, ": " and the name ("E: CDROM DRIVE   ");
// ASPI mode: the name alone. The name's bytes are shown as they came, read
// as Windows-1252 and given as UTF-8; control bytes (a zero byte padding a
// short name, for instance) show as blanks, so the length stays.
std::string driveListEntry(const DriveRecord& drive, TransportMode mode);

// The drive name's bytes as UTF-8 text, read as above.
std::string driveNameText(const DriveName& name);

}  // namespace rilvane
