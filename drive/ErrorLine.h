// Readable sense texts and the log line of a failed pass-through read.
#pragma once

#include <cstdint>
#include <string>

namespace rilvane {

// Sense key byte (taken whole, flag bits included), ASC and ASCQ -> text,
// e.g. "Medium Error: l-ec uncorrectable error".
std::string geterrorMessage(uint8_t senseKeyByte, uint8_t asc, uint8_t ascq);

// "Fehler: SCSI Status 2; Code:3;11;5 \"Medium Error: l-ec uncorrectable error\""
std::string errorLine(uint8_t scsiStatus, uint8_t senseKeyByte, uint8_t asc, uint8_t ascq);

// The same line from a sense area as the drive returned it. Fixed format
// (response code 0x70/0x71) keeps the key byte whole (byte 2) with ASC and
// ASCQ at bytes 12 and 13; descriptor format (0x72/0x73) has the key in the
// low nibble of byte 1 and ASC/ASCQ at bytes 2 and 3. Anything else is read
// as fixed format. `sense` holds at least 14 bytes.
std::string errorLine(uint8_t scsiStatus, const uint8_t* sense);

}  // namespace rilvane
