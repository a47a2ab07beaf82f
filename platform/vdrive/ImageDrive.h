// The SCSI target behind a virtual drive: answers the commands of a CD-ROM
// drive from a disc image, failing where the defect map says so.
#pragma once

#include "DefectMap.h"
#include "DiscImage.h"
#include "ReadPace.h"
#include "VirtualDrive.h"

#include <array>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace rilvane::vdrive {

class ImageDrive final : public VirtualDrive {
public:
    ImageDrive(std::unique_ptr<DiscImage> image, DefectMap defects);

    ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) override;
    std::string productName() const override;

private:
    ScsiReply inquiry(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply readToc(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply readCd(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    ScsiReply modeSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const;
    ScsiReply read12(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);
    ScsiReply setCdSpeed(const uint8_t* cdb, size_t cdbLength);

    // Why a read of `first`..`end - 1` from the disc fails, if it does: a
    // flaky sector with failures left (every sector read from the disc
    // counts a read) or a slow one read too fast. Cached sectors are not
    // read from the disc and count for nothing.
    std::optional<DefectAction> mediumFailure(int64_t first, int64_t end);
    // Sectors of first..end - 1 the cache does not hold.
    int64_t uncached(int64_t first, int64_t end) const;
    // After a read from the disc ending before `end`: the sectors after it,
    // up to the first one that would fail, go into the cache; returns how
    // many were read.
    int64_t readAhead(int64_t end);

    // One raw sector as this read brings it: from the cache, or from the
    // image, wrong where the sector is corrupt and has wrong reads left
    // (`c2` then flags the wrong bytes, one bit a byte, first byte in the
    // most significant bit).
    // `fromDisc` is set when the sector was not in the cache.
    bool fetchSector(int64_t sector, uint8_t* raw, uint8_t* c2, bool& fromDisc);
    void remember(int64_t sector, const uint8_t* raw);
    void emptyCache();

    ScsiReply dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength);

    std::unique_ptr<DiscImage> image_;
    DefectMap defects_;
    ReadPace pace_;
    // Mixed into every wrong reading, drawn anew for each drive, so that a
    // corrupt sector does not read wrong the same way in the next process.
    uint64_t corruptSeed_;
    std::mutex mutex_;
    // Where the drive is in the defect map's start-up answers.
    size_t startupStep_ = 0;
    uint32_t startupAnswered_ = 0;
    // Reads so far of each flaky and each corrupt sector.
    std::unordered_map<int64_t, uint32_t> flakyReads_;
    std::unordered_map<int64_t, uint32_t> corruptReads_;
    // The sectors last read without an error, newest first, with their bytes.
    struct CachedSector {
        std::list<int64_t>::iterator place;
        std::array<uint8_t, kSectorBytes> bytes;
    };
    std::list<int64_t> cacheOrder_;
    std::unordered_map<int64_t, CachedSector> cache_;
};

// A CHECK CONDITION reply with fixed-format sense data.
ScsiReply checkCondition(SenseCode sense);

// The same reply with descriptor-format sense data (response code 0x72).
ScsiReply inDescriptorFormat(ScsiReply reply);

}  // namespace rilvane::vdrive
