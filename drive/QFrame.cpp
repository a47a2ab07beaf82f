#include "drive/QFrame.h"

namespace rilvane {

namespace {

// A BCD byte as its value; -1 when a nibble is no digit.
int fromBcd(uint8_t b)
{
    const int high = b >> 4;
    const int low = b & 0x0F;
    if (high > 9 || low > 9) return -1;
    return high * 10 + low;
}

// Minutes, seconds and frames (BCD) as a count of frames; -1 when not valid.
int32_t framesOf(const uint8_t* msf)
{
    const int m = fromBcd(msf[0]);
    const int s = fromBcd(msf[1]);
    const int f = fromBcd(msf[2]);
    if (m < 0 || s < 0 || s > 59 || f < 0 || f > 74) return -1;
    return (m * 60 + s) * 75 + f;
}

// The 6-bit code of an ISRC character: 0-9 digits, 0x11-0x2A letters.
char isrcChar(uint8_t code)
{
    if (code <= 9) return static_cast<char>('0' + code);
    if (code >= 0x11 && code <= 0x2A) return static_cast<char>('A' + (code - 0x11));
    return 0;
}

}  // namespace

uint16_t QFrame::crc16(const uint8_t* data, size_t length)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::optional<QFrame> QFrame::decode(const uint8_t* q)
{
    const uint16_t stored = static_cast<uint16_t>(q[10] << 8 | q[11]);
    if (static_cast<uint16_t>(~crc16(q, 10)) != stored) return std::nullopt;
    QFrame f;
    f.control = q[0] >> 4;
    f.adr = q[0] & 0x0F;
    switch (f.adr) {
    case kAdrPosition: {
        f.track = q[1] == kLeadOutTrack ? kLeadOutTrack : fromBcd(q[1]);
        f.index = fromBcd(q[2]);
        f.relative = framesOf(q + 3);
        const int32_t absolute = framesOf(q + 7);
        if (f.track < 0 || f.index < 0 || f.relative < 0 || absolute < 0) return std::nullopt;
        f.absolute = absolute - 150;
        return f;
    }
    case kAdrCatalog:
        for (int i = 0; i < 13; ++i) {
            const int digit = i % 2 == 0 ? q[1 + i / 2] >> 4 : q[1 + i / 2] & 0x0F;
            if (digit > 9) return std::nullopt;
            f.catalog += static_cast<char>('0' + digit);
        }
        return f;
    case kAdrIsrc: {
        // Five 6-bit characters, two zero bits, seven BCD digits.
        const uint8_t codes[5] = {static_cast<uint8_t>(q[1] >> 2),
                                  static_cast<uint8_t>((q[1] & 0x03) << 4 | q[2] >> 4),
                                  static_cast<uint8_t>((q[2] & 0x0F) << 2 | q[3] >> 6),
                                  static_cast<uint8_t>(q[3] & 0x3F), static_cast<uint8_t>(q[4] >> 2)};
        for (const uint8_t c : codes) {
            const char ch = isrcChar(c);
            if (!ch) return std::nullopt;
            f.isrc += ch;
        }
        for (int i = 0; i < 7; ++i) {
            const int digit = i % 2 == 0 ? q[5 + i / 2] >> 4 : q[5 + i / 2] & 0x0F;
            if (digit > 9) return std::nullopt;
            f.isrc += static_cast<char>('0' + digit);
        }
        return f;
    }
    default:
        return f;
    }
}

}  // namespace rilvane
