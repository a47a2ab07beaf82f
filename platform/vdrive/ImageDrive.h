// The SCSI target behind a virtual drive: answers the commands of a CD-ROM
// drive from a disc image, failing where the defect map says so. The read
// path (defects, cache) and the larger commands live in pieces of their own;
// this is the command front that hands each command to its piece.
#pragma once

#include "DefectState.h"
#include "DiscImage.h"
#include "SectorReader.h"
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
    ScsiReply dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    ScsiReply inquiry(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply modeSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;

    std::unique_ptr<DiscImage> image_;
    DefectState defects_;
    SectorReader reader_;
    std::mutex mutex_;
};

}  // namespace rilvane::vdrive
