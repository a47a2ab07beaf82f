// Reads one read block (ten sectors, fewer at the end of the disc) through a
// transport.
#pragma once

#include <cstdint>
#include <vector>

#include "drive/CommandCatalogue.h"
#include "drive/ScsiCommand.h"

namespace rilvane {

class BlockReader {
public:
    virtual ~BlockReader() = default;

    // Reads `sectors` sectors (1 to 10) from `sector` on. Returns their
    // bytes, 2352 a sector, on success (valid until the next read); on
    // failure logs the transport's error line and returns nullptr.
    uint8_t* readBlock(int32_t sector, int32_t sectors = CommandCatalogue::kSectorsPerRead)
    {
        driveGone_ = mediumGone_ = false;
        sense_ = {};
        if (sectors < 1 || sectors > CommandCatalogue::kSectorsPerRead) return nullptr;
        return read(sector, sectors);
    }

    // The same read asking the drive for its C2 error pointers too: each
    // sector's 2352 bytes are followed by its 294 pointer bytes (one bit a
    // byte of the sector, the first byte in the most significant bit).
    // nullptr on failure, and where the transport cannot ask for them.
    uint8_t* readBlockWithC2(int32_t sector, int32_t sectors = CommandCatalogue::kSectorsPerRead)
    {
        driveGone_ = mediumGone_ = false;
        sense_ = {};
        if (sectors < 1 || sectors > CommandCatalogue::kSectorsPerRead) return nullptr;
        return readWithC2(sector, sectors);
    }

    // Whether the last read failed because the drive could not be reached
    // at all (unplugged, switched off): not a read error, the drive is gone.
    bool driveGone() const { return driveGone_; }

    // Whether the last read failed because the drive has no disc (sense
    // key 2, ASC 3A): no sector can be read until one is put in.
    bool mediumGone() const { return mediumGone_; }

    // The sense key, ASC and ASCQ of the last read when it failed with
    // sense data (all zero otherwise).
    struct Sense {
        uint8_t key = 0;
        uint8_t asc = 0;
        uint8_t ascq = 0;
    };
    const Sense& lastSense() const { return sense_; }

    // The time a read may take before the transport gives it up, in
    // seconds. Only the pass-through has such a limit.
    virtual void setReadTimeout(uint32_t /*seconds*/) {}

    // Sends a command that brings data but reads no sectors (MODE SENSE,
    // READ TOC) and puts what came into `out`. False when it failed.
    virtual bool query(const ScsiCommand& /*command*/, std::vector<uint8_t>& /*out*/) { return false; }

protected:
    virtual uint8_t* read(int32_t sector, int32_t sectors) = 0;
    virtual uint8_t* readWithC2(int32_t /*sector*/, int32_t /*sectors*/) { return nullptr; }

    // Notes from the sense data of a failed read whether the disc is gone.
    void noteSense(uint8_t scsiStatus, const uint8_t* sense)
    {
        const uint8_t format = sense[0] & 0x7F;
        const bool descriptor = format == 0x72 || format == 0x73;
        const uint8_t key = (descriptor ? sense[1] : sense[2]) & 0x0F;
        const uint8_t asc = descriptor ? sense[2] : sense[12];
        sense_ = {key, asc, descriptor ? sense[3] : sense[13]};
        mediumGone_ = scsiStatus == 2 && key == 0x02 && asc == 0x3A;
    }

    bool driveGone_ = false;
    bool mediumGone_ = false;
    Sense sense_;
};

}  // namespace rilvane
