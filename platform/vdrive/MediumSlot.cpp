#include "MediumSlot.h"

#include "DefectMap.h"
#include "DiscImage.h"
#include "ImageDrive.h"
#include "ScsiOpcodes.h"
#include "ScsiReplies.h"

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kMediaClass = 0x10;  // the only event class the drive reports
constexpr uint8_t kMediaClassNumber = 4;

}  // namespace

MediumSlot::MediumSlot(std::unique_ptr<VirtualDrive> drive, bool descriptorSense)
    : drive_(std::move(drive)), descriptorSense_(descriptorSense)
{
}

std::unique_ptr<MediumSlot> MediumSlot::load(const std::string& cuePath, const std::string& defectsPath,
                                             std::string& error)
{
    error.clear();
    auto image = DiscImage::open(cuePath, error);
    if (!image)
        return nullptr;
    DefectMap defects;
    if (!defectsPath.empty()) {
        auto loaded = DefectMap::load(defectsPath, error);
        if (!loaded)
            return nullptr;
        defects = std::move(*loaded);
    }
    const bool descriptorSense = defects.descriptorSense();
    return std::make_unique<MediumSlot>(std::make_unique<ImageDrive>(std::move(image), std::move(defects)),
                                        descriptorSense);
}

ScsiReply MediumSlot::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdb == nullptr || cdbLength == 0)
        return drive_->execute(cdb, cdbLength, data, dataLength);
    if (data == nullptr)
        dataLength = 0;
    bool passOn = false;
    {
        std::lock_guard lock(mutex_);
        const ScsiReply own = answer(cdb, cdbLength, data, dataLength, passOn);
        if (!passOn)
            return descriptorSense_ ? inDescriptorFormat(own) : own;
    }
    ScsiReply reply = drive_->execute(cdb, cdbLength, data, dataLength);
    if (cdb[0] == op::kGetConfiguration && reply.status == 0 && reply.transferred >= 8 && !present()) {
        data[6] = 0;  // no current profile without a disc
        data[7] = 0;
    }
    return reply;
}

ScsiReply MediumSlot::answer(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength, bool& passOn)
{
    {
        switch (cdb[0]) {
        case op::kGetEventStatus:
            return eventStatus(cdb, cdbLength, data, dataLength);
        case op::kRequestSense:
            return requestSense(cdb, cdbLength, data, dataLength);
        case op::kStartStopUnit:
            // Spinning up or down is the drive's (it ends a play); the tray's own.
            if (cdbLength >= 6 && (cdb[4] & 0x02) == 0 && present_ && !changed_)
                break;
            return startStop(cdb, cdbLength);
        case op::kPreventAllowRemoval:
            if (cdbLength < 6)
                return checkCondition(kInvalidFieldInCdb);
            locked_ = (cdb[4] & 0x01) != 0;
            return good(0);
        case op::kMechanismStatus:
            if (!present_) {
                if (cdbLength < 12)
                    return checkCondition(kInvalidFieldInCdb);
                const uint8_t answer[8] = {0, 0x10};  // idle, tray open
                return answerWith(answer, sizeof answer, be16(cdb + 8), data, dataLength);
            }
            break;
        case op::kInquiry:
        case op::kGetConfiguration:
            break;  // answered with or without a disc, and past a change
        default:
            if (!present_)
                return checkCondition(kMediumNotPresent);
            if (changed_) {
                changed_ = false;
                return checkCondition(kMediumMayHaveChanged);
            }
        }
    }
    passOn = true;
    return {};
}

ScsiReply MediumSlot::eventStatus(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 10 || (cdb[1] & 0x01) == 0)
        return checkCondition(kInvalidFieldInCdb);  // only polled requests
    uint8_t answer[8] = {};
    size_t length = 4;
    answer[3] = kMediaClass;
    if ((cdb[4] & kMediaClass) == 0) {
        answer[2] = 0x80;  // no event of the classes asked for
    } else {
        answer[2] = kMediaClassNumber;
        answer[4] = static_cast<uint8_t>(event_);
        answer[5] = present_ ? 0x02 : 0x01;  // medium present, or tray open
        event_ = MediaEvent::None;
        length = 8;
    }
    putBe16(answer, static_cast<uint32_t>(length - 2));
    return answerWith(answer, length, be16(cdb + 7), data, dataLength);
}

ScsiReply MediumSlot::requestSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 6)
        return checkCondition(kInvalidFieldInCdb);
    SenseCode state = kNoSense;
    if (!present_) {
        state = kMediumNotPresent;
    } else if (changed_) {
        state = kMediumMayHaveChanged;
        changed_ = false;
    }
    const ScsiReply sense = checkCondition(state);
    return answerWith(sense.sense, sense.senseLength, cdb[4], data, dataLength);
}

ScsiReply MediumSlot::startStop(const uint8_t* cdb, size_t cdbLength)
{
    if (cdbLength < 6)
        return checkCondition(kInvalidFieldInCdb);
    const bool loadEject = (cdb[4] & 0x02) != 0;
    const bool start = (cdb[4] & 0x01) != 0;
    if (!loadEject)
        return present_ || !start ? good(0) : checkCondition(kMediumNotPresent);
    if (start) {
        insertLocked();  // the tray closes over the disc it holds
        return good(0);
    }
    if (locked_)
        return checkCondition(kMediumRemovalPrevented);
    ejectLocked();
    return good(0);
}

void MediumSlot::ejectLocked()
{
    if (present_)
        event_ = MediaEvent::Removal;
    present_ = false;
    changed_ = false;
}

void MediumSlot::insertLocked()
{
    if (!present_) {
        changed_ = true;
        event_ = MediaEvent::NewMedia;
    }
    present_ = true;
}

void MediumSlot::eject()
{
    std::lock_guard lock(mutex_);
    ejectLocked();
}

void MediumSlot::insert()
{
    std::lock_guard lock(mutex_);
    insertLocked();
}

bool MediumSlot::present() const
{
    std::lock_guard lock(mutex_);
    return present_;
}

}  // namespace rilvane::vdrive
