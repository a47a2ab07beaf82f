// The SCSI target behind a virtual drive: answers the commands of a CD-ROM
// drive from a disc image, failing where the defect map says so. The read
// path (defects, cache), the sub-channel and the larger commands live in
// pieces of their own; this is the command front that hands each command to
// its piece and keeps the drive's state (speed, head, playback).
#pragma once

#include "AudioPlayback.h"
#include "DefectState.h"
#include "DiscImage.h"
#include "SectorReader.h"
#include "SubChannel.h"
#include "VirtualDrive.h"

#include <memory>
#include <mutex>

namespace rilvane::vdrive {


class ImageDrive final : public VirtualDrive {
public:
    ImageDrive(std::unique_ptr<DiscImage> image, DefectMap defects);

    ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) override;
    void setTimeLimit(uint32_t milliseconds) override { defects_.setTimeLimit(milliseconds); }
    std::string productName() const override;

private:
    ScsiReply dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    ScsiReply inquiry(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply modeSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply setCdSpeed(const uint8_t* cdb, size_t cdbLength);
    // READ CD asking for C2 pointers in the form the drive does not give.
    bool refusesC2Form(const uint8_t* cdb, size_t cdbLength) const;
    ScsiReply playAudio(const uint8_t* cdb, size_t cdbLength);
    ScsiReply mechanismStatus(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;

    std::unique_ptr<DiscImage> image_;
    DefectState defects_;
    SectorReader reader_;
    SubChannel subChannel_;
    AudioPlayback playback_;
    std::mutex mutex_;
};

}  // namespace rilvane::vdrive
