#include "DiscReplies.h"

#include "ScsiReplies.h"

#include <array>
#include <cstring>

namespace rilvane::vdrive {

namespace {

constexpr uint32_t kLogicalBlockBytes = 2048;
constexpr uint8_t kSubChannelPosition = 1;
constexpr uint8_t kSubChannelCatalog = 2;
constexpr uint8_t kSubChannelIsrc = 3;

void putAddress(uint8_t* p, int64_t sector, bool msf, bool relative)
{
    if (!msf) {
        putBe32(p, static_cast<uint32_t>(static_cast<int32_t>(sector)));
        return;
    }
    const Msf m = relative ? durationOf(sector) : msfOf(sector);
    p[0] = 0;
    p[1] = static_cast<uint8_t>(m.minute);
    p[2] = static_cast<uint8_t>(m.second);
    p[3] = static_cast<uint8_t>(m.frame);
}

}  // namespace

ScsiReply readCapacity(const DiscImage& image, const uint8_t*, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    uint8_t answer[8];
    putBe32(answer, static_cast<uint32_t>(image.leadOut() - 1));
    putBe32(answer + 4, kLogicalBlockBytes);
    return good(copyOut(answer, sizeof answer, data, dataLength));
}

ScsiReply readDiscInformation(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                              uint32_t dataLength)
{
    if (cdbLength < 10 || (cdb[1] & 0x07) != 0)
        return checkCondition(kInvalidFieldInCdb);
    const std::vector<CueTrack>& tracks = image.sheet().tracks();
    std::array<uint8_t, 34> answer{};
    putBe16(&answer[0], answer.size() - 2);
    answer[2] = 0x0E;  // last session complete, disc complete, not erasable
    answer[3] = static_cast<uint8_t>(tracks.front().number);
    answer[4] = 1;     // sessions
    answer[5] = static_cast<uint8_t>(tracks.front().number);
    answer[6] = static_cast<uint8_t>(tracks.back().number);
    answer[8] = 0x00;  // CD-DA or CD-ROM
    // A closed disc has no next session and no room left.
    putBe32(&answer[16], 0xFFFFFFFF);
    putBe32(&answer[20], 0xFFFFFFFF);
    return answerWith(answer.data(), answer.size(), be16(cdb + 7), data, dataLength);
}

ScsiReply readTrackInformation(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                               uint32_t dataLength)
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const CueSheet& sheet = image.sheet();
    const std::vector<CueTrack>& tracks = sheet.tracks();
    const uint8_t addressType = cdb[1] & 0x03;
    const uint32_t address = be32(cdb + 2);
    const CueTrack* track = nullptr;
    if (addressType == 0) {
        if (address >= static_cast<uint64_t>(image.leadOut()))
            return checkCondition(kLbaOutOfRange);
        track = &sheet.trackOf(address);
    } else if (addressType == 1) {
        for (const CueTrack& t : tracks)
            if (static_cast<uint32_t>(t.number) == address)
                track = &t;
    } else if (addressType == 2 && address == 1) {
        track = &tracks.front();  // the first track of the only session
    }
    if (track == nullptr)
        return checkCondition(kInvalidFieldInCdb);
    const size_t t = static_cast<size_t>(track - tracks.data());
    const int64_t end = t + 1 < tracks.size() ? tracks[t + 1].start : image.leadOut();
    std::array<uint8_t, 36> answer{};
    putBe16(&answer[0], answer.size() - 2);
    answer[2] = static_cast<uint8_t>(track->number);
    answer[3] = 1;  // session
    answer[5] = SubChannel::controlOf(*track);
    answer[6] = track->mode == TrackMode::Mode1 ? 0x01 : 0x0F;  // data mode 1, or none
    putBe32(&answer[8], static_cast<uint32_t>(track->start));
    putBe32(&answer[24], static_cast<uint32_t>(end - track->start));
    putBe32(&answer[28], static_cast<uint32_t>(end - 1));
    return answerWith(answer.data(), answer.size(), be16(cdb + 7), data, dataLength);
}

ScsiReply readSubChannel(const DiscImage& image, const SubChannel& subChannel, int64_t head,
                         AudioPlayback::Status status, const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                         uint32_t dataLength)
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const bool msf = (cdb[1] & 0x02) != 0;
    const bool subQ = (cdb[2] & 0x40) != 0;
    const uint8_t format = cdb[3];
    const CueSheet& sheet = image.sheet();
    std::array<uint8_t, 24> answer{};
    answer[1] = static_cast<uint8_t>(status);
    size_t length = 4;
    if (subQ) {
        switch (format) {
        case kSubChannelPosition: {
            const QPosition p = subChannel.position(head);
            answer[4] = kSubChannelPosition;
            answer[5] = static_cast<uint8_t>(0x10 | p.control);
            answer[6] = static_cast<uint8_t>(p.track);
            answer[7] = static_cast<uint8_t>(p.index);
            putAddress(&answer[8], head, msf, false);
            // As an LBA the distance from INDEX 01 (negative in a pregap);
            // as MSF the time Q shows, counting down through a pregap.
            const CueTrack& track = sheet.trackOf(head);
            putAddress(&answer[12], msf ? p.relative : head - track.start, msf, true);
            length = 16;
            break;
        }
        case kSubChannelCatalog: {
            answer[4] = kSubChannelCatalog;
            if (!sheet.catalog().empty()) {
                answer[8] = 0x80;  // MCVal
                std::memcpy(&answer[9], sheet.catalog().data(), 13);
                answer[23] = static_cast<uint8_t>(msfOf(head).frame);
            }
            length = 24;
            break;
        }
        case kSubChannelIsrc: {
            const CueTrack* track = nullptr;
            for (const CueTrack& t : sheet.tracks())
                if (t.number == cdb[6])
                    track = &t;
            if (track == nullptr)
                return checkCondition(kInvalidFieldInCdb);
            answer[4] = kSubChannelIsrc;
            answer[5] = static_cast<uint8_t>(0x30 | SubChannel::controlOf(*track));
            answer[6] = static_cast<uint8_t>(track->number);
            if (!track->isrc.empty()) {
                answer[8] = 0x80;  // TCVal
                std::memcpy(&answer[9], track->isrc.data(), 12);
                answer[22] = static_cast<uint8_t>(msfOf(head).frame);
            }
            length = 24;
            break;
        }
        default:
            return checkCondition(kInvalidFieldInCdb);
        }
    }
    putBe16(&answer[2], static_cast<uint32_t>(length - 4));
    return answerWith(answer.data(), length, be16(cdb + 7), data, dataLength);
}

}  // namespace rilvane::vdrive
