#include "SubChannel.h"

#include <cstring>

namespace rilvane::vdrive {

namespace {

constexpr int kLeadInFrames = 150;  // sector 0 lies at 00:02:00
constexpr uint8_t kAdrPosition = 1;
constexpr uint8_t kAdrCatalog = 2;
constexpr uint8_t kAdrIsrc = 3;
// Which frame of each hundred carries the catalogue number and which the
// ISRC instead of the position (a disc has them at least once in 100).
constexpr int64_t kCatalogFrame = 99;
constexpr int64_t kIsrcFrame = 49;

// The 6-bit code of an ISRC character in Q: digits 0-9, letters from 0x11.
uint8_t isrcCode(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0');
    return static_cast<uint8_t>(0x11 + (c - 'A'));
}

void closeFrame(std::array<uint8_t, kQBytes>& q)
{
    const uint16_t crc = static_cast<uint16_t>(~subChannelCrc(q.data(), 10));
    q[10] = static_cast<uint8_t>(crc >> 8);
    q[11] = static_cast<uint8_t>(crc);
}

}  // namespace

uint16_t subChannelCrc(const uint8_t* data, size_t length)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

Msf durationOf(int64_t frames)
{
    if (frames < 0)
        frames = 0;
    Msf msf;
    msf.frame = static_cast<int>(frames % kFramesPerSecond);
    msf.second = static_cast<int>(frames / kFramesPerSecond % 60);
    msf.minute = static_cast<int>(frames / kFramesPerSecond / 60);
    return msf;
}

Msf msfOf(int64_t sector)
{
    return durationOf(sector + kLeadInFrames);
}

uint8_t SubChannel::controlOf(const CueTrack& track)
{
    if (track.mode == TrackMode::Mode1)
        return 0x04 | (track.flags & 0x02);
    return track.flags & 0x0B;
}

QPosition SubChannel::position(int64_t sector) const
{
    const CueTrack& track = sheet_.trackOf(sector);
    QPosition p;
    p.control = controlOf(track);
    p.track = track.number;
    p.index = sheet_.indexOf(track, sector);
    p.absolute = sector;
    // Through a pregap the relative time counts down, reaching zero in the
    // pregap's last frame; from INDEX 01 it counts up from zero.
    p.relative = p.index == 0 ? track.start - 1 - sector : sector - track.start;
    return p;
}

bool SubChannel::steady(int64_t sector) const
{
    if (sector < 1 || sector + 1 >= sheet_.leadOut())
        return false;
    const QPosition p = position(sector);
    const QPosition before = position(sector - 1);
    const QPosition after = position(sector + 1);
    return before.track == p.track && before.index == p.index && after.track == p.track && after.index == p.index;
}

bool SubChannel::carries(int64_t sector, int64_t frame) const
{
    // Its frame of the hundred, or the first steady sector after it.
    int64_t due = sector - ((sector - frame) % 100 + 100) % 100;
    if (due < 0)
        return false;
    for (; due < sector; ++due)
        if (steady(due))
            return false;
    return steady(sector);
}

bool SubChannel::inPause(int64_t sector) const
{
    const CueTrack& track = sheet_.trackOf(sector);
    return sheet_.indexOf(track, sector) == 0;
}

std::array<uint8_t, kQBytes> SubChannel::q(int64_t sector) const
{
    std::array<uint8_t, kQBytes> q{};
    const QPosition p = position(sector);
    const Msf absolute = msfOf(sector);
    const CueTrack& track = sheet_.trackOf(sector);
    if (!sheet_.catalog().empty() && carries(sector, kCatalogFrame)) {
        q[0] = static_cast<uint8_t>(p.control << 4 | kAdrCatalog);
        const std::string& mcn = sheet_.catalog();
        for (size_t i = 0; i < 13; ++i) {
            const auto digit = static_cast<uint8_t>(mcn[i] - '0');
            q[1 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
        }
        q[9] = toBcd(absolute.frame);
    } else if (!track.isrc.empty() && p.index >= 1 && carries(sector, kIsrcFrame)) {
        q[0] = static_cast<uint8_t>(p.control << 4 | kAdrIsrc);
        const std::string& isrc = track.isrc;
        uint8_t c[5];
        for (int i = 0; i < 5; ++i)
            c[i] = isrcCode(isrc[static_cast<size_t>(i)]);
        // Five 6-bit characters, two zero bits, then seven BCD digits and four zero bits.
        q[1] = static_cast<uint8_t>(c[0] << 2 | c[1] >> 4);
        q[2] = static_cast<uint8_t>((c[1] & 0x0F) << 4 | c[2] >> 2);
        q[3] = static_cast<uint8_t>((c[2] & 0x03) << 6 | c[3]);
        q[4] = static_cast<uint8_t>(c[4] << 2);
        for (int i = 0; i < 7; ++i) {
            const auto digit = static_cast<uint8_t>(isrc[static_cast<size_t>(5 + i)] - '0');
            q[5 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
        }
        q[9] = toBcd(absolute.frame);
    } else {
        q[0] = static_cast<uint8_t>(p.control << 4 | kAdrPosition);
        q[1] = toBcd(p.track);
        q[2] = toBcd(p.index);
        const Msf relative = durationOf(p.relative);
        q[3] = toBcd(relative.minute);
        q[4] = toBcd(relative.second);
        q[5] = toBcd(relative.frame);
        q[7] = toBcd(absolute.minute);
        q[8] = toBcd(absolute.second);
        q[9] = toBcd(absolute.frame);
    }
    closeFrame(q);
    return q;
}

void SubChannel::rawPw(int64_t sector, uint8_t* out) const
{
    const std::array<uint8_t, kQBytes> q = this->q(sector);
    const uint8_t p = inPause(sector) ? 0x80 : 0x00;
    for (int i = 0; i < kRawSubChannelBytes; ++i) {
        const bool qBit = (q[static_cast<size_t>(i / 8)] >> (7 - i % 8)) & 1;
        out[i] = static_cast<uint8_t>(p | (qBit ? 0x40 : 0x00));
    }
}

void SubChannel::formattedQ(int64_t sector, uint8_t* out) const
{
    const std::array<uint8_t, kQBytes> q = this->q(sector);
    std::memcpy(out, q.data(), kQBytes);
    out[12] = 0;
    out[13] = 0;
    out[14] = 0;
    out[15] = inPause(sector) ? 0x80 : 0x00;
}

}  // namespace rilvane::vdrive
