// A drive's tray in front of the image drive: with the disc taken out every
// command but INQUIRY and REQUEST SENSE finds no medium (02/3A/00); once a
// disc is put back, the next such command reports the change (06/28/00)
// before the drive answers normally again, as real drives do.
#pragma once

#include "VirtualDrive.h"

#include <memory>
#include <mutex>

namespace rilvane::vdrive {

class MediumSlot final : public VirtualDrive {
public:
    explicit MediumSlot(std::unique_ptr<VirtualDrive> drive);

    ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) override;
    std::string productName() const override { return drive_->productName(); }

    void eject();
    void insert();
    bool present() const;

private:
    std::unique_ptr<VirtualDrive> drive_;
    mutable std::mutex mutex_;
    bool present_ = true;
    bool changed_ = false;
};

}  // namespace rilvane::vdrive
