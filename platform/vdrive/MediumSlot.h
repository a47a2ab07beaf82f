// A drive's tray in front of the image drive. With the disc taken out every
// command that needs one finds no medium (02/3A/00); once a disc is put back,
// the next such command reports the change (06/28/00) before the drive
// answers normally again, as real drives do. A disc put in by hand (insert())
// is first still being loaded: one command finds no medium before the change
// is reported, as QEMU's drive and real drives loading a disc answer. The tray's own commands are
// answered here, disc or not: START STOP UNIT opens and closes it (unless
// PREVENT ALLOW MEDIUM REMOVAL locked it), GET EVENT STATUS NOTIFICATION
// reports media events to a polling host, REQUEST SENSE tells the state,
// MECHANISM STATUS an open tray.
#pragma once

#include "VirtualDrive.h"

#include <memory>
#include <mutex>
#include <string>

namespace rilvane::vdrive {

class MediumSlot final : public VirtualDrive {
public:
    // descriptorSense: the tray's own refusals come in descriptor format, as
    // the drive's do.
    explicit MediumSlot(std::unique_ptr<VirtualDrive> drive, bool descriptorSense = false);

    // The image drive of a CUE sheet and defect map with its tray (what
    // VirtualDrive::load() gives, with the tray's controls at hand).
    static std::unique_ptr<MediumSlot> load(const std::string& cuePath, const std::string& defectsPath,
                                            std::string& error);

    ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) override;
    std::string productName() const override { return drive_->productName(); }
    void setTimeLimit(uint32_t milliseconds) override { drive_->setTimeLimit(milliseconds); }

    // The disc taken out or put back by hand (the lock does not hold a hand).
    void eject();
    void insert();
    bool present() const;

private:
    enum class MediaEvent : uint8_t { None = 0, NewMedia = 2, Removal = 3 };

    ScsiReply answer(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength, bool& passOn);
    ScsiReply eventStatus(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    ScsiReply requestSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    ScsiReply startStop(const uint8_t* cdb, size_t cdbLength);
    void ejectLocked();
    void insertLocked();

    std::unique_ptr<VirtualDrive> drive_;
    mutable std::mutex mutex_;
    bool descriptorSense_ = false;
    bool present_ = true;
    bool loading_ = false;  // the first command after a hand insert: no medium yet
    bool changed_ = false;
    bool locked_ = false;
    MediaEvent event_ = MediaEvent::None;
};

}  // namespace rilvane::vdrive
