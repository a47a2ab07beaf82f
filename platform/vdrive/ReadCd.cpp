#include "ReadCd.h"

#include "Mode1Sector.h"
#include "ScsiReplies.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace rilvane::vdrive {

namespace {

// Sizes of the fields of a raw sector that READ CD can select.
constexpr int kSyncBytes = 12;
constexpr int kHeaderBytes = 4;
constexpr int kEdcEccBytes = kSectorBytes - kMode1UserOffset - kMode1UserBytes;  // 288
constexpr int kC2WithBlockErrorBytes = 296;
constexpr uint8_t kSubChannelNone = 0;
constexpr uint8_t kSubChannelRaw = 1;
constexpr uint8_t kSubChannelQ = 2;
constexpr uint8_t kSubChannelRw = 4;

// What READ CD returns of each sector, from CDB byte 9 (and the sector's mode).
struct FieldSelection {
    bool sync = false;
    bool header = false;
    bool userData = false;
    bool edcEcc = false;
    int c2Bytes = 0;
    uint8_t subChannel = kSubChannelNone;
    int subChannelBytes = 0;
};

// A data sector's fields can only be returned as one piece of the raw
// sector: sync, header, user data, EDC/ECC, without gaps between them.
bool isContiguous(const FieldSelection& f)
{
    const bool fields[4] = {f.sync, f.header, f.userData, f.edcEcc};
    int first = -1;
    int last = -1;
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        if (fields[i]) {
            if (first < 0)
                first = i;
            last = i;
            ++count;
        }
    }
    return count == 0 || last - first + 1 == count;
}

int bytesPerSector(const FieldSelection& f, TrackMode mode)
{
    int bytes = f.c2Bytes + f.subChannelBytes;
    if (mode == TrackMode::Audio)
        return bytes + (f.userData ? kSectorBytes : 0);
    if (f.sync)
        bytes += kSyncBytes;
    if (f.header)
        bytes += kHeaderBytes;
    if (f.userData)
        bytes += kMode1UserBytes;
    if (f.edcEcc)
        bytes += kEdcEccBytes;
    return bytes;
}

// Lays out one sector's selected fields into out, the C2 pointers (294
// bytes) from `c2`, then its sub-channel; returns the byte count.
int composeSector(int64_t sector, const uint8_t* raw, const uint8_t* c2, const SubChannel& subChannel,
                  const FieldSelection& f, TrackMode mode, uint8_t* out)
{
    int n = 0;
    auto put = [&](int offset, int length) {
        std::memcpy(out + n, raw + offset, static_cast<size_t>(length));
        n += length;
    };
    if (mode == TrackMode::Audio) {
        if (f.userData)
            put(0, kSectorBytes);
    } else {
        if (f.sync)
            put(0, kSyncBytes);
        if (f.header)
            put(kSyncBytes, kHeaderBytes);
        if (f.userData)
            put(kMode1UserOffset, kMode1UserBytes);
        if (f.edcEcc)
            put(kMode1UserOffset + kMode1UserBytes, kEdcEccBytes);
    }
    if (f.c2Bytes > 0) {
        std::memcpy(out + n, c2, kC2PointerBytes);
        if (f.c2Bytes == kC2WithBlockErrorBytes) {
            // The block error byte (all pointer bytes or'ed together) and a pad byte.
            uint8_t any = 0;
            for (int i = 0; i < kC2PointerBytes; ++i)
                any |= c2[i];
            out[n + kC2PointerBytes] = any;
            out[n + kC2PointerBytes + 1] = 0;
        }
        n += f.c2Bytes;
    }
    switch (f.subChannel) {
    case kSubChannelRaw:
        subChannel.rawPw(sector, out + n);
        break;
    case kSubChannelQ:
        subChannel.formattedQ(sector, out + n);
        break;
    case kSubChannelRw:
        // No R-W data on this disc (no CD+G).
        std::memset(out + n, 0, kRawSubChannelBytes);
        break;
    default:
        break;
    }
    return n + f.subChannelBytes;
}

}  // namespace

namespace {

// The READ CD itself, for a range given either way.
ScsiReply readRange(SectorReader& reader, const SubChannel& subChannels, bool reportsC2, const uint8_t* cdb,
                    int64_t lba, int64_t count, uint8_t* data, uint32_t dataLength, int64_t& lastSector)
{
    const DiscImage& image = reader.image();
    const int expectedType = (cdb[1] >> 2) & 0x07;
    const uint8_t flags = cdb[9];
    const int c2Code = (flags >> 1) & 0x03;
    const int headerCodes = (flags >> 5) & 0x03;
    const uint8_t subChannel = cdb[10] & 0x07;
    // Sector types 0 to 5 exist; C2 code 3 is reserved; sub-channel as raw
    // P-W, formatted Q or R-W.
    if (expectedType > 5 || c2Code == 3 || (flags & 0x01) != 0 ||
        (subChannel != kSubChannelNone && subChannel != kSubChannelRaw && subChannel != kSubChannelQ &&
         subChannel != kSubChannelRw))
        return checkCondition(kInvalidFieldInCdb);

    FieldSelection fields;
    fields.sync = (flags & 0x80) != 0;
    fields.header = (headerCodes & 0x01) != 0;  // header only, or all headers (Mode 1 has no sub-header)
    fields.userData = (flags & 0x10) != 0;
    fields.edcEcc = (flags & 0x08) != 0;
    fields.c2Bytes = c2Code == 1 ? kC2PointerBytes : c2Code == 2 ? kC2WithBlockErrorBytes : 0;
    fields.subChannel = subChannel;
    fields.subChannelBytes = subChannel == kSubChannelQ ? kFormattedQBytes
                             : subChannel != kSubChannelNone ? kRawSubChannelBytes
                                                             : 0;

    if (fields.c2Bytes > 0 && !reportsC2)
        return checkCondition(kInvalidFieldInCdb);

    const int64_t leadOut = image.leadOut();
    if (lba < 0 || lba >= leadOut || count > leadOut - lba)
        return checkCondition(kLbaOutOfRange);
    if (count == 0)
        return good(0);

    // Every track the range touches must match the expected sector type.
    const std::vector<CueTrack>& tracks = image.sheet().tracks();
    const int64_t end = lba + count;
    bool allAudio = true;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const int64_t regionFirst = t == 0 ? 0 : tracks[t].regionStart;
        const int64_t regionEnd = t + 1 < tracks.size() ? tracks[t + 1].regionStart : leadOut;
        if (regionEnd <= lba || end <= regionFirst)
            continue;
        const TrackMode mode = tracks[t].mode;
        allAudio = allAudio && mode == TrackMode::Audio;
        const bool typeMatches = expectedType == 0 || (expectedType == 1 && mode == TrackMode::Audio) ||
                                 (expectedType == 2 && mode == TrackMode::Mode1);
        if (!typeMatches)
            return checkCondition(kIllegalModeForTrack);
        if (mode == TrackMode::Mode1 && !isContiguous(fields))
            return checkCondition(kInvalidFieldInCdb);
    }

    if (auto failure = reader.readFailure(lba, count, dataLength))
        return *failure;

    uint32_t written = 0;
    int64_t s = lba;
    lastSector = end - 1;
    if (reader.plain() && allAudio && fields.userData && fields.c2Bytes == 0 && fields.subChannelBytes == 0) {
        // Whole audio sectors, as a read loop asks for them: the raw sectors
        // themselves, read straight into the caller's buffer in one go.
        const int64_t whole = std::min<int64_t>(count, dataLength / kSectorBytes);
        if (whole > 0 && !reader.readRun(lba, whole, data))
            return checkCondition(kUnrecoveredReadError);
        written = static_cast<uint32_t>(whole * kSectorBytes);
        s += whole;
    }
    if (s == end || written == dataLength)
        return good(written);
    // Sector by sector: the fields asked for, from each raw sector.
    std::array<uint8_t, kSectorBytes> raw{};
    std::array<uint8_t, kC2PointerBytes> c2{};
    std::array<uint8_t, kSectorBytes + kC2WithBlockErrorBytes + kRawSubChannelBytes> sector{};
    for (; s < end && written < dataLength; ++s) {
        const TrackMode mode = image.sheet().trackOf(s).mode;
        if (bytesPerSector(fields, mode) == 0)
            continue;
        if (!reader.fetch(s, raw.data(), c2.data()))
            return checkCondition(kUnrecoveredReadError);
        const int n = composeSector(s, raw.data(), c2.data(), subChannels, fields, mode, sector.data());
        written += copyOut(sector.data(), static_cast<size_t>(n), data + written, dataLength - written);
    }
    return good(written);
}

}  // namespace

ScsiReply readCd(SectorReader& reader, const SubChannel& subChannel, bool reportsC2, const uint8_t* cdb,
                 size_t cdbLength, uint8_t* data, uint32_t dataLength, int64_t& lastSector)
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    const auto lba = static_cast<int32_t>(be32(cdb + 2));
    return readRange(reader, subChannel, reportsC2, cdb, lba, be24(cdb + 6), data, dataLength, lastSector);
}

ScsiReply readCdMsf(SectorReader& reader, const SubChannel& subChannel, bool reportsC2, const uint8_t* cdb,
                    size_t cdbLength, uint8_t* data, uint32_t dataLength, int64_t& lastSector)
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    auto sectorOf = [](const uint8_t* m) {
        return (int64_t{m[0]} * 60 + m[1]) * kFramesPerSecond + m[2] - 150;
    };
    if (cdb[4] > 59 || cdb[5] >= kFramesPerSecond || cdb[7] > 59 || cdb[8] >= kFramesPerSecond)
        return checkCondition(kInvalidFieldInCdb);
    const int64_t start = sectorOf(cdb + 3);
    const int64_t end = sectorOf(cdb + 6);
    if (end < start)
        return checkCondition(kInvalidFieldInCdb);
    return readRange(reader, subChannel, reportsC2, cdb, start, end - start, data, dataLength, lastSector);
}

ScsiReply readBlocks(SectorReader& reader, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength,
                     int64_t& lastSector)
{
    const bool twelve = cdb[0] == 0xA8;
    if (cdbLength < (twelve ? 12u : 10u))
        return checkCondition(kInvalidFieldInCdb);
    const int64_t lba = be32(cdb + 2);
    const int64_t count = twelve ? be32(cdb + 6) : be16(cdb + 7);
    const DiscImage& image = reader.image();
    if (lba >= image.leadOut() || count > image.leadOut() - lba)
        return checkCondition(kLbaOutOfRange);
    if (count == 0)
        return good(0);
    for (int64_t s = lba; s < lba + count; ++s)
        if (image.sheet().trackOf(s).mode != TrackMode::Mode1)
            return checkCondition(kIllegalModeForTrack);
    if (auto failure = reader.readFailure(lba, count, dataLength))
        return *failure;
    std::array<uint8_t, kSectorBytes> raw{};
    std::array<uint8_t, kC2PointerBytes> c2{};
    uint32_t written = 0;
    for (int64_t s = lba; s < lba + count && written < dataLength; ++s) {
        if (!reader.fetch(s, raw.data(), c2.data()))
            return checkCondition(kUnrecoveredReadError);
        written += copyOut(raw.data() + kMode1UserOffset, kMode1UserBytes, data + written, dataLength - written);
    }
    lastSector = lba + count - 1;
    return good(written);
}

}  // namespace rilvane::vdrive
