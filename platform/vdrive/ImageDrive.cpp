#include "ImageDrive.h"

#include "DiscReplies.h"
#include "FeatureReplies.h"
#include "ReadCd.h"
#include "ScsiOpcodes.h"
#include "ScsiReplies.h"
#include "TocReplies.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kAudioControlPage = 0x0E;
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint8_t kAllPages = 0x3F;

constexpr uint8_t kPeripheralCdDvd = 0x05;
constexpr size_t kStandardInquiryLength = 36;

}  // namespace

ImageDrive::ImageDrive(std::unique_ptr<DiscImage> image, DefectMap defects)
    : image_(std::move(image)),
      defects_(std::move(defects)),
      reader_(*image_, defects_),
      subChannel_(image_->sheet())
{
}

std::string ImageDrive::productName() const
{
    return defects_.map().productName();
}

ScsiReply ImageDrive::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    std::lock_guard lock(mutex_);
    const ScsiReply reply = dispatch(cdb, cdbLength, data, dataLength);
    return defects_.map().descriptorSense() ? inDescriptorFormat(reply) : reply;
}

ScsiReply ImageDrive::dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (data == nullptr)
        dataLength = 0;
    if (cdb == nullptr || cdbLength == 0)
        return checkCondition(kInvalidFieldInCdb);
    if (auto notYet = defects_.startupAnswer(cdb[0]))
        return *notYet;
    const DefectMap& map = defects_.map();
    const auto now = AudioPlayback::Clock::now();
    int64_t lastSector = -1;
    ScsiReply reply;
    switch (cdb[0]) {
    case op::kTestUnitReady:
        return cdbLength < 6 ? checkCondition(kInvalidFieldInCdb) : good(0);
    case op::kInquiry:
        return inquiry(cdb, cdbLength, data, dataLength);
    case op::kReadToc:
        if (cdbLength >= 10 && map.tocFailure())
            return defectReply(*map.tocFailure(), defects_.timeLimit());
        return readToc(*image_, cdb, cdbLength, data, dataLength);
    case op::kReadCd:
        if (refusesC2Form(cdb, cdbLength))
            return checkCondition(kInvalidFieldInCdb);
        reply = readCd(reader_, subChannel_, map.reportsC2(), cdb, cdbLength, data, dataLength, lastSector);
        break;
    case op::kReadCdMsf:
        if (refusesC2Form(cdb, cdbLength))
            return checkCondition(kInvalidFieldInCdb);
        reply = readCdMsf(reader_, subChannel_, map.reportsC2(), cdb, cdbLength, data, dataLength, lastSector);
        break;
    case op::kRead10:
    case op::kRead12:
        reply = readBlocks(reader_, cdb, cdbLength, data, dataLength, lastSector);
        break;
    case op::kModeSense6:
    case op::kModeSense10:
        return modeSense(cdb, cdbLength, data, dataLength);
    case op::kSetCdSpeed:
        return setCdSpeed(cdb, cdbLength);
    case op::kReadCapacity:
        return readCapacity(*image_, cdb, cdbLength, data, dataLength);
    case op::kReadDiscInformation:
        return readDiscInformation(*image_, cdb, cdbLength, data, dataLength);
    case op::kReadTrackInformation:
        return readTrackInformation(*image_, cdb, cdbLength, data, dataLength);
    case op::kGetConfiguration:
        return getConfiguration(map.reportsC2(), cdb, cdbLength, data, dataLength);
    case op::kReadSubChannel: {
        if (cdbLength < 10)
            return checkCondition(kInvalidFieldInCdb);
        const int64_t head = playback_.position(now);
        return readSubChannel(*image_, subChannel_, head, playback_.takeStatus(now), cdb, cdbLength, data,
                              dataLength);
    }
    case op::kPlayAudio10:
    case op::kPlayAudio12:
    case op::kPlayAudioMsf:
        return playAudio(cdb, cdbLength);
    case op::kPauseResume:
        if (cdbLength < 10)
            return checkCondition(kInvalidFieldInCdb);
        if ((cdb[8] & 0x01) != 0 ? playback_.resume(now) : playback_.pause(now))
            return good(0);
        return checkCondition(kCommandSequenceError);
    case op::kRezeroUnit:
        playback_.moveTo(0);
        return cdbLength < 6 ? checkCondition(kInvalidFieldInCdb) : good(0);
    case op::kStartStopUnit:
        // Stopping the disc ends a play; starting it changes nothing.
        if (cdbLength < 6)
            return checkCondition(kInvalidFieldInCdb);
        if ((cdb[4] & 0x01) == 0)
            playback_.stop(now);
        return good(0);
    case op::kStopPlayScan:
        playback_.stop(now);
        return good(0);
    case op::kSeek10: {
        if (cdbLength < 10)
            return checkCondition(kInvalidFieldInCdb);
        const int64_t lba = be32(cdb + 2);
        if (lba >= image_->leadOut())
            return checkCondition(kLbaOutOfRange);
        playback_.moveTo(lba);
        return good(0);
    }
    case op::kMechanismStatus:
        return mechanismStatus(cdb, cdbLength, data, dataLength);
    default:
        return checkCondition(kInvalidOpcode);
    }
    // A read leaves the head behind the last sector it read.
    if (reply.status == 0 && lastSector >= 0)
        playback_.moveTo(lastSector);
    return reply;
}

ScsiReply ImageDrive::setCdSpeed(const uint8_t* cdb, size_t cdbLength)
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    // 0xFFFF asks for the fastest; the drive takes the nearest whole speed
    // from 1x to its top speed.
    reader_.pace().request(be16(cdb + 2));
    return good(0);
}

bool ImageDrive::refusesC2Form(const uint8_t* cdb, size_t cdbLength) const
{
    if (cdbLength < 12)
        return false;
    const int c2Code = (cdb[9] >> 1) & 0x03;
    const C2Support support = defects_.map().c2();
    return (c2Code == 1 && support == C2Support::Only296) || (c2Code == 2 && support == C2Support::Only294);
}

ScsiReply ImageDrive::playAudio(const uint8_t* cdb, size_t cdbLength)
{
    const auto now = AudioPlayback::Clock::now();
    int64_t first = 0;
    int64_t end = 0;
    if (cdb[0] == op::kPlayAudioMsf) {
        if (cdbLength < 10)
            return checkCondition(kInvalidFieldInCdb);
        auto sectorOf = [](const uint8_t* m) {
            return (int64_t{m[0]} * 60 + m[1]) * kFramesPerSecond + m[2] - 150;
        };
        // A start of FF:FF:FF plays on from where the head is.
        first = cdb[3] == 0xFF && cdb[4] == 0xFF && cdb[5] == 0xFF ? playback_.position(now) : sectorOf(cdb + 3);
        end = sectorOf(cdb + 6);
        if (end < first)
            return checkCondition(kInvalidFieldInCdb);
    } else {
        const bool twelve = cdb[0] == op::kPlayAudio12;
        if (cdbLength < (twelve ? 12u : 10u))
            return checkCondition(kInvalidFieldInCdb);
        const auto lba = static_cast<int32_t>(be32(cdb + 2));
        first = lba == -1 ? playback_.position(now) : lba;
        end = first + (twelve ? int64_t{be32(cdb + 6)} : int64_t{be16(cdb + 7)});
    }
    if (first < 0 || end > image_->leadOut() || first >= image_->leadOut())
        return checkCondition(kLbaOutOfRange);
    if (end == first)
        return good(0);  // a play of nothing is no error
    for (int64_t s = first; s < end;) {
        const CueTrack& track = image_->sheet().trackOf(s);
        if (track.mode != TrackMode::Audio)
            return checkCondition(kIllegalModeForTrack);
        const size_t t = static_cast<size_t>(&track - image_->sheet().tracks().data());
        const auto& tracks = image_->sheet().tracks();
        s = t + 1 < tracks.size() ? tracks[t + 1].regionStart : image_->leadOut();
    }
    playback_.play(first, end, now);
    return good(0);
}

ScsiReply ImageDrive::mechanismStatus(const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                                      uint32_t dataLength) const
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    const auto now = AudioPlayback::Clock::now();
    uint8_t answer[8] = {};
    answer[1] = playback_.playing(now) ? 0x20 : 0x00;  // playing audio, or idle; tray closed
    putBe24(answer + 2, static_cast<uint32_t>(playback_.position(now)));
    return answerWith(answer, sizeof answer, be16(cdb + 8), data, dataLength);
}

ScsiReply ImageDrive::inquiry(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const
{
    if (cdbLength < 6)
        return checkCondition(kInvalidFieldInCdb);
    const bool vitalProductData = (cdb[1] & 0x01) != 0;
    const uint8_t page = cdb[2];
    if (!vitalProductData && page != 0)
        return checkCondition(kInvalidFieldInCdb);
    if (vitalProductData && page != 0x00)
        return checkCondition(kInvalidFieldInCdb);
    if (defects_.map().inquiryFailure())
        return defectReply(*defects_.map().inquiryFailure(), defects_.timeLimit());
    // Allocation length: bytes 3 and 4 (byte 3 is 0 in the older 8-bit form).
    const uint32_t allocation = uint32_t(cdb[3]) << 8 | cdb[4];
    const uint32_t room = std::min(allocation, dataLength);

    if (vitalProductData) {
        // Supported pages: only this list itself.
        const uint8_t pages[5] = {kPeripheralCdDvd, 0x00, 0x00, 0x01, 0x00};
        return good(copyOut(pages, sizeof pages, data, room));
    }

    std::array<uint8_t, kStandardInquiryLength> answer{};
    answer[0] = kPeripheralCdDvd;
    answer[1] = 0x80;  // removable medium
    answer[2] = 0x05;  // SPC-3
    answer[3] = 0x02;  // response data format 2
    answer[4] = static_cast<uint8_t>(kStandardInquiryLength - 5);
    std::memcpy(&answer[8], "RILVANE ", 8);
    std::string product = defects_.map().productName();
    product.resize(16, ' ');
    std::memcpy(&answer[16], product.data(), 16);
    std::memcpy(&answer[32], "1.0 ", 4);
    return good(copyOut(answer.data(), answer.size(), data, room));
}

ScsiReply ImageDrive::modeSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const
{
    const bool six = cdb[0] == op::kModeSense6;
    if (cdbLength < (six ? 6u : 10u))
        return checkCondition(kInvalidFieldInCdb);
    const uint8_t pageControl = cdb[2] >> 6;
    const uint8_t page = cdb[2] & 0x3F;
    // Current and default values only, of the audio control and the
    // capabilities page.
    if ((page != kAudioControlPage && page != kCapabilitiesPage && page != kAllPages) || pageControl == 1 ||
        pageControl == 3)
        return checkCondition(kInvalidFieldInCdb);
    // Mode parameter header (8 bytes, or 4 for MODE SENSE(6); no block
    // descriptors), then the pages.
    std::vector<uint8_t> answer(six ? 4 : 8, 0);
    if (page == kAudioControlPage || page == kAllPages) {
        // CD audio control: play returns at once; both channels to their
        // own output at full volume.
        const uint8_t audio[16] = {kAudioControlPage, 14, 0x04, 0, 0, 0, 0, 0, 0x01, 0xFF, 0x02, 0xFF, 0, 0, 0, 0};
        answer.insert(answer.end(), audio, audio + sizeof audio);
    }
    if (page == kCapabilitiesPage || page == kAllPages) {
        uint8_t p[22] = {};
        p[0] = kCapabilitiesPage;
        p[1] = 20;
        p[2] = 0x00;  // reads CD-R and CD-RW: no
        p[4] = 0x01;  // plays audio
        // Byte 5: CD-DA commands supported, the CD-DA stream is accurate, R-W
        // sub-channel, C2 error pointers (bit 4), ISRC and catalogue number.
        p[5] = 0x01 | 0x02 | 0x04 | (defects_.map().reportsC2() ? 0x10 : 0x00) | 0x20 | 0x40;
        p[6] = 0x29;  // tray loader, eject, lock
        p[7] = 0x03;  // separate volume and mute of each channel
        putBe16(p + 8, ReadPace::kilobytesPerSecond(reader_.pace().top()));
        putBe16(p + 10, 256);  // volume levels
        putBe16(p + 14, ReadPace::kilobytesPerSecond(reader_.pace().current()));
        answer.insert(answer.end(), p, p + sizeof p);
    }
    if (six)
        answer[0] = static_cast<uint8_t>(answer.size() - 1);
    else
        putBe16(answer.data(), static_cast<uint32_t>(answer.size() - 2));
    const uint32_t allocation = six ? cdb[4] : be16(cdb + 7);
    return answerWith(answer.data(), answer.size(), allocation, data, dataLength);
}

}  // namespace rilvane::vdrive
