#include "MediumSlot.h"

#include "ScsiOpcodes.h"
#include "ScsiReplies.h"

namespace rilvane::vdrive {

MediumSlot::MediumSlot(std::unique_ptr<VirtualDrive> drive) : drive_(std::move(drive)) {}

ScsiReply MediumSlot::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    {
        std::lock_guard lock(mutex_);
        const bool answeredAnyway = cdbLength > 0 && (cdb[0] == op::kInquiry || cdb[0] == op::kRequestSense);
        if (!answeredAnyway && cdbLength > 0) {
            if (!present_)
                return checkCondition(kMediumNotPresent);
            if (changed_) {
                changed_ = false;
                return checkCondition(kMediumMayHaveChanged);
            }
        }
    }
    return drive_->execute(cdb, cdbLength, data, dataLength);
}

void MediumSlot::eject()
{
    std::lock_guard lock(mutex_);
    present_ = false;
    changed_ = false;
}

void MediumSlot::insert()
{
    std::lock_guard lock(mutex_);
    if (!present_)
        changed_ = true;
    present_ = true;
}

bool MediumSlot::present() const
{
    std::lock_guard lock(mutex_);
    return present_;
}

}  // namespace rilvane::vdrive
