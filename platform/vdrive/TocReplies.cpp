#include "TocReplies.h"

#include "ScsiReplies.h"

#include <array>

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kLeadOutTrack = 0xAA;

}  // namespace

ScsiReply readToc(const DiscImage& image, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const bool msf = (cdb[1] & 0x02) != 0;
    const uint8_t format = cdb[2] & 0x0F;
    const uint8_t oldFormat = cdb[9] >> 6;  // the format field's older place
    if (msf || format != 0 || oldFormat != 0)
        return checkCondition(kInvalidFieldInCdb);

    const std::vector<CueTrack>& tracks = image.sheet().tracks();
    const int firstTrack = tracks.front().number;
    const int lastTrack = tracks.back().number;
    const uint8_t startTrack = cdb[6];
    if (startTrack != kLeadOutTrack && startTrack > lastTrack)
        return checkCondition(kInvalidFieldInCdb);

    auto control = [](const CueTrack& track) -> uint8_t {
        if (track.mode == TrackMode::Mode1)
            return 0x04 | (track.flags & 0x02);
        return track.flags & 0x0B;
    };
    // Header, at most 99 track descriptors and the lead-out.
    std::array<uint8_t, 4 + 8 * (kMaxTracks + 1)> answer{};
    size_t length = 4;
    auto descriptor = [&](uint8_t number, uint8_t adrControl, int64_t start) {
        uint8_t* d = &answer[length];
        d[1] = adrControl;
        d[2] = number;
        putBe32(d + 4, static_cast<uint32_t>(start));
        length += 8;
    };
    if (startTrack != kLeadOutTrack)
        for (const CueTrack& track : tracks)
            if (track.number >= startTrack)
                descriptor(static_cast<uint8_t>(track.number), 0x10 | control(track), track.start);
    descriptor(kLeadOutTrack, 0x10 | control(tracks.back()), image.leadOut());
    putBe16(&answer[0], static_cast<uint32_t>(length - 2));
    answer[2] = static_cast<uint8_t>(firstTrack);
    answer[3] = static_cast<uint8_t>(lastTrack);
    return answerWith(answer.data(), length, be16(cdb + 7), data, dataLength);
}

}  // namespace rilvane::vdrive
