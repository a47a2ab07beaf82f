#include "drive/ErrorLine.h"

#include <string_view>

#include "drive/scsierrs.h"

namespace rilvane {

namespace {

// Three octal digits, most significant first: 0 -> "000", 58 -> "072".
void appendOctal3(std::string& out, uint8_t value)
{
    out += static_cast<char>('0' + ((value >> 6) & 07));
    out += static_cast<char>('0' + ((value >> 3) & 07));
    out += static_cast<char>('0' + (value & 07));
}

// Upper-case hexadecimal with as few digits as needed: "3A", "5", "0".
std::string hex(uint8_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    if (value >= 0x10)
        out += kDigits[value >> 4];
    out += kDigits[value & 0x0F];
    return out;
}

}  // namespace

std::string geterrorMessage(uint8_t senseKeyByte, uint8_t asc, uint8_t ascq)
{
    std::string key;
    key.reserve(scsierrs::kAdditionalSenseKeyLength);
    key += '\\';
    appendOctal3(key, asc);
    key += '\\';
    appendOctal3(key, ascq);

    // The whole sense byte 2 is looked at: any flag bit (filemark, EOM, ILI)
    // lifts it above the 16 key names and gives the generic prefix.
    std::string text;
    if (senseKeyByte > 15) {
        text = "Fehler:";
    } else {
        text = scsierrs::senseKeyNames[senseKeyByte];
        text += ':';
    }

    // Every entry holding the key contributes, so codes with several
    // meanings (40/00) show all of them.
    for (std::string_view entry : scsierrs::additionalSense) {
        if (entry.find(key) != std::string_view::npos) {
            text += ' ';
            text += entry.substr(scsierrs::kAdditionalSenseKeyLength);
        }
    }
    return text;
}

std::string errorLine(uint8_t scsiStatus, uint8_t senseKeyByte, uint8_t asc, uint8_t ascq)
{
    std::string line = "Fehler: SCSI Status ";
    line += std::to_string(scsiStatus);
    line += "; Code:";
    line += hex(senseKeyByte);
    line += ';';
    line += hex(asc);
    line += ';';
    line += hex(ascq);
    line += " \"";
    line += geterrorMessage(senseKeyByte, asc, ascq);
    line += '"';
    return line;
}

}  // namespace rilvane

namespace rilvane {

std::string errorLine(uint8_t scsiStatus, const uint8_t* sense)
{
    const uint8_t responseCode = sense[0] & 0x7F;
    if (responseCode == 0x72 || responseCode == 0x73)
        return errorLine(scsiStatus, static_cast<uint8_t>(sense[1] & 0x0F), sense[2], sense[3]);
    return errorLine(scsiStatus, sense[2], sense[12], sense[13]);
}

}  // namespace rilvane
