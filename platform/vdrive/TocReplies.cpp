#include "TocReplies.h"

#include "CdText.h"
#include "ScsiReplies.h"
#include "SubChannel.h"

#include <vector>

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr uint8_t kFormatToc = 0;
constexpr uint8_t kFormatSessions = 1;
constexpr uint8_t kFormatFullToc = 2;
constexpr uint8_t kFormatCdText = 5;
constexpr uint8_t kAdrPosition = 0x10;
constexpr uint8_t kDiscTypeCdDaOrRom = 0x00;

// A start address as READ TOC gives it: an LBA, or 0/M/S/F.
void putAddress(uint8_t* p, int64_t sector, bool msf)
{
    if (!msf) {
        putBe32(p, static_cast<uint32_t>(sector));
        return;
    }
    const Msf m = msfOf(sector);
    p[0] = 0;
    p[1] = static_cast<uint8_t>(m.minute);
    p[2] = static_cast<uint8_t>(m.second);
    p[3] = static_cast<uint8_t>(m.frame);
}

// Finishes an answer: the data length (all bytes after the length field)
// and the two bytes after it.
void putHeader(std::vector<uint8_t>& answer, uint8_t first, uint8_t last)
{
    putBe16(answer.data(), static_cast<uint32_t>(answer.size() - 2));
    answer[2] = first;
    answer[3] = last;
}

}  // namespace

ScsiReply readToc(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const bool msf = (cdb[1] & 0x02) != 0;
    uint8_t format = cdb[2] & 0x0F;
    const uint8_t oldFormat = cdb[9] >> 6;  // the format field's older place
    if (format == 0 && oldFormat != 0)
        format = oldFormat;
    const uint32_t allocation = be16(cdb + 7);

    const CueSheet& sheet = image.sheet();
    const std::vector<CueTrack>& tracks = sheet.tracks();
    const auto firstTrack = static_cast<uint8_t>(tracks.front().number);
    const auto lastTrack = static_cast<uint8_t>(tracks.back().number);
    std::vector<uint8_t> answer(4, 0);

    switch (format) {
    case kFormatToc: {
        const uint8_t startTrack = cdb[6];
        if (startTrack != kLeadOutTrack && startTrack > lastTrack)
            return checkCondition(kInvalidFieldInCdb);
        auto descriptor = [&](uint8_t number, uint8_t control, int64_t start) {
            uint8_t d[8] = {0, static_cast<uint8_t>(kAdrPosition | control), number, 0};
            putAddress(d + 4, start, msf);
            answer.insert(answer.end(), d, d + 8);
        };
        if (startTrack != kLeadOutTrack)
            for (const CueTrack& track : tracks)
                if (track.number >= startTrack)
                    descriptor(static_cast<uint8_t>(track.number), SubChannel::controlOf(track), track.start);
        descriptor(kLeadOutTrack, SubChannel::controlOf(tracks.back()), image.leadOut());
        putHeader(answer, firstTrack, lastTrack);
        break;
    }
    case kFormatSessions: {
        // One closed session; its first track.
        uint8_t d[8] = {0, static_cast<uint8_t>(kAdrPosition | SubChannel::controlOf(tracks.front())), firstTrack, 0};
        putAddress(d + 4, tracks.front().start, msf);
        answer.insert(answer.end(), d, d + 8);
        putHeader(answer, 1, 1);
        break;
    }
    case kFormatFullToc: {
        // The lead-in's Q points: A0 first track, A1 last track, A2 the
        // lead-out, then every track; times in binary.
        auto point = [&](uint8_t pointNumber, uint8_t control, uint8_t pmin, uint8_t psec, uint8_t pframe) {
            const uint8_t d[11] = {1, static_cast<uint8_t>(kAdrPosition | control), 0, pointNumber, 0, 0, 0, 0,
                                   pmin, psec, pframe};
            answer.insert(answer.end(), d, d + 11);
        };
        const Msf leadOut = msfOf(image.leadOut());
        point(0xA0, SubChannel::controlOf(tracks.front()), firstTrack, kDiscTypeCdDaOrRom, 0);
        point(0xA1, SubChannel::controlOf(tracks.back()), lastTrack, 0, 0);
        point(0xA2, SubChannel::controlOf(tracks.back()), static_cast<uint8_t>(leadOut.minute),
              static_cast<uint8_t>(leadOut.second), static_cast<uint8_t>(leadOut.frame));
        for (const CueTrack& track : tracks) {
            const Msf start = msfOf(track.start);
            point(static_cast<uint8_t>(track.number), SubChannel::controlOf(track), static_cast<uint8_t>(start.minute),
                  static_cast<uint8_t>(start.second), static_cast<uint8_t>(start.frame));
        }
        putHeader(answer, 1, 1);
        break;
    }
    case kFormatCdText: {
        const std::vector<uint8_t> packs = cdTextPacks(sheet);
        answer.insert(answer.end(), packs.begin(), packs.end());
        putHeader(answer, 0, 0);
        break;
    }
    default:
        // No PMA or ATIP on a pressed disc.
        return checkCondition(kInvalidFieldInCdb);
    }
    return answerWith(answer.data(), answer.size(), allocation, data, dataLength);
}

}  // namespace rilvane::vdrive
