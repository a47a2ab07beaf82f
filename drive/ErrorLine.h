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

}  // namespace rilvane
