// The SCSI target behind a virtual drive: answers the commands of a CD-ROM
// drive from a disc image, failing where the defect map says so.
#pragma once

#include "DefectMap.h"
#include "DiscImage.h"
#include "VirtualDrive.h"

#include <memory>
#include <mutex>

namespace rilvane::vdrive {

class ImageDrive final : public VirtualDrive {
public:
    ImageDrive(std::unique_ptr<DiscImage> image, DefectMap defects);

    ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) override;
    std::string productName() const override;

private:
    ScsiReply inquiry(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply readToc(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply readCd(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;

    ScsiReply dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);

    std::unique_ptr<DiscImage> image_;
    DefectMap defects_;
    std::mutex mutex_;
    // Where the drive is in the defect map's start-up answers.
    size_t startupStep_ = 0;
    uint32_t startupAnswered_ = 0;
};

// A CHECK CONDITION reply with fixed-format sense data.
ScsiReply checkCondition(SenseCode sense);

// The same reply with descriptor-format sense data (response code 0x72).
ScsiReply inDescriptorFormat(ScsiReply reply);

}  // namespace rilvane::vdrive
