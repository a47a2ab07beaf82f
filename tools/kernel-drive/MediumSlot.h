// A drive's tray in front of the image drive: with the disc taken out every
// command but INQUIRY finds no medium (02/3A/00); once a disc is put back,
// the next such command still finds none (the disc is being loaded), the one
// after reports the change (06/28/00), and then the drive answers normally,
// as real drives (and QEMU's) do.
#pragma once

#include "vdrive/VirtualDrive.h"

#include <memory>
#include <mutex>

namespace rilvane::kerneldrive {

class MediumSlot {
public:
    explicit MediumSlot(std::unique_ptr<vdrive::VirtualDrive> drive);

    vdrive::ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    void eject();
    void insert();
    bool present() const;

private:
    std::unique_ptr<vdrive::VirtualDrive> drive_;
    mutable std::mutex mutex_;
    bool present_ = true;
    bool loading_ = false;  // the first command after an insert: no medium yet
    bool changed_ = false;
};

}  // namespace rilvane::kerneldrive
