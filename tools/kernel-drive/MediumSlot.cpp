#include "MediumSlot.h"

#include "vdrive/ImageDrive.h"

namespace rilvane::kerneldrive {

namespace {
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kRequestSense = 0x03;
}  // namespace

MediumSlot::MediumSlot(std::unique_ptr<vdrive::VirtualDrive> drive) : drive_(std::move(drive)) {}

vdrive::ScsiReply MediumSlot::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    {
        std::lock_guard lock(mutex_);
        const bool answeredAnyway = cdbLength > 0 && (cdb[0] == kInquiry || cdb[0] == kRequestSense);
        if (!answeredAnyway && cdbLength > 0) {
            if (!present_)
                return vdrive::checkCondition(vdrive::kMediumNotPresent);
            // A disc just put in is still being loaded for one command.
            if (loading_) {
                loading_ = false;
                return vdrive::checkCondition(vdrive::kMediumNotPresent);
            }
            if (changed_) {
                changed_ = false;
                return vdrive::checkCondition(vdrive::kMediumMayHaveChanged);
            }
        }
    }
    return drive_->execute(cdb, cdbLength, data, dataLength);
}

void MediumSlot::eject()
{
    std::lock_guard lock(mutex_);
    present_ = false;
    loading_ = false;
    changed_ = false;
}

void MediumSlot::insert()
{
    std::lock_guard lock(mutex_);
    if (!present_) {
        loading_ = true;
        changed_ = true;
    }
    present_ = true;
}

bool MediumSlot::present() const
{
    std::lock_guard lock(mutex_);
    return present_;
}

}  // namespace rilvane::kerneldrive
