// The sub-channel of the program area as a pressed disc carries it, worked
// out from the CUE sheet: P marks the pauses, Q tells the position (ADR 1:
// track, index, relative time counting down through a pregap, absolute
// time) and now and then the catalogue number (ADR 2) or the track's ISRC
// (ADR 3), each Q frame closed by its CRC-16. R to W stay empty.
#pragma once

#include "CueSheet.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace rilvane::vdrive {

inline constexpr int kQBytes = 12;          // 10 bytes of Q and its CRC
inline constexpr int kRawSubChannelBytes = 96;
inline constexpr int kFormattedQBytes = 16;

// CRC-16 with the polynomial x^16 + x^12 + x^5 + 1, start value 0, as the
// Q sub-channel and CD-Text packs carry it (stored inverted).
uint16_t subChannelCrc(const uint8_t* data, size_t length);

inline uint8_t toBcd(int value)
{
    return static_cast<uint8_t>((value / 10) << 4 | value % 10);
}

// A disc address as minutes, seconds and frames (binary), with the 2 s
// before sector 0 counted in.
struct Msf {
    int minute = 0;
    int second = 0;
    int frame = 0;
};
Msf msfOf(int64_t sector);
// A length of frames (no offset) as minutes, seconds and frames.
Msf durationOf(int64_t frames);

// Where the head is, as ADR 1 Q frames tell it.
struct QPosition {
    uint8_t control = 0;   // the track's control bits (4 high bits of byte 0 of Q)
    int track = 1;
    int index = 1;
    int64_t relative = 0;  // frames from INDEX 01 (in a pregap: to it, counting down to 0)
    int64_t absolute = 0;  // disc address
};

class SubChannel {
public:
    explicit SubChannel(const CueSheet& sheet) : sheet_(sheet) {}

    QPosition position(int64_t sector) const;

    // The 12 bytes of Q of a program-area sector, CRC included.
    std::array<uint8_t, kQBytes> q(int64_t sector) const;

    // READ CD's sub-channel forms: raw P-W (one bit of each channel a byte,
    // P in the most significant bit) and formatted Q (Q, 3 zero bytes, P).
    void rawPw(int64_t sector, uint8_t* out) const;
    void formattedQ(int64_t sector, uint8_t* out) const;

    // The control bits of a track, as the TOC and Q give them.
    static uint8_t controlOf(const CueTrack& track);

private:
    bool inPause(int64_t sector) const;
    // Whether the position tells nothing new there: no change of track or
    // index on either side. Only such a sector may carry a catalogue or ISRC
    // frame instead of its position.
    bool steady(int64_t sector) const;
    // Whether the sector carries the frame due at `frame` of each hundred
    // (moved on to the next steady sector where that one is not).
    bool carries(int64_t sector, int64_t frame) const;

    const CueSheet& sheet_;
};

}  // namespace rilvane::vdrive
