#include "FeatureReplies.h"

#include "ScsiReplies.h"
#include "SenseCode.h"

#include <vector>

namespace rilvane::vdrive {

namespace {

constexpr uint16_t kProfileCdRom = 0x0008;
constexpr uint8_t kPersistent = 0x02;
constexpr uint8_t kCurrent = 0x01;

struct Feature {
    uint16_t code;
    uint8_t versionFlags;  // version << 2 | persistent | current
    std::vector<uint8_t> body;
};

std::vector<Feature> featuresOf(bool reportsC2)
{
    return {
        // Profile list: CD-ROM, the current one.
        {0x0000, kPersistent | kCurrent, {0x00, 0x08, 0x01, 0x00}},
        // Core: SCSI interface, device busy events.
        {0x0001, 2 << 2 | kPersistent | kCurrent, {0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00}},
        // Morphing: operational change events, reported when polled.
        {0x0002, 1 << 2 | kPersistent | kCurrent, {0x02, 0x00, 0x00, 0x00}},
        // Removable medium: a tray that ejects and locks.
        {0x0003, kPersistent | kCurrent, {0x29, 0x00, 0x00, 0x00}},
        // Random readable, 2048-byte blocks.
        {0x0010, kCurrent, {0x00, 0x00, 0x08, 0x00, 0x00, 0x01, 0x00, 0x00}},
        // CD read: CD-Text, C2 pointers when the drive has them.
        {0x001E, 2 << 2 | kCurrent, {static_cast<uint8_t>(0x01 | (reportsC2 ? 0x02 : 0x00)), 0x00, 0x00, 0x00}},
        // Power management.
        {0x0100, kPersistent | kCurrent, {}},
        // CD audio play: separate volume, 256 volume levels.
        {0x0103, kCurrent, {0x01, 0x00, 0x01, 0x00}},
    };
}

}  // namespace

ScsiReply getConfiguration(bool reportsC2, const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const uint8_t requestType = cdb[1] & 0x03;
    const uint16_t startingFeature = be16(cdb + 2);
    if (requestType == 3)
        return checkCondition(kInvalidFieldInCdb);
    std::vector<uint8_t> answer(8, 0);
    putBe16(&answer[6], kProfileCdRom);
    for (const Feature& f : featuresOf(reportsC2)) {
        // 0: all features from the starting one; 1: only current ones; 2: that one feature.
        if (f.code < startingFeature)
            continue;
        if (requestType == 1 && (f.versionFlags & kCurrent) == 0)
            continue;
        if (requestType == 2 && f.code != startingFeature)
            continue;
        const uint8_t head[4] = {static_cast<uint8_t>(f.code >> 8), static_cast<uint8_t>(f.code), f.versionFlags,
                                 static_cast<uint8_t>(f.body.size())};
        answer.insert(answer.end(), head, head + 4);
        answer.insert(answer.end(), f.body.begin(), f.body.end());
    }
    putBe32(&answer[0], static_cast<uint32_t>(answer.size() - 4));
    return answerWith(answer.data(), answer.size(), be16(cdb + 7), data, dataLength);
}

}  // namespace rilvane::vdrive
