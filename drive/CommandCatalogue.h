// Every command block the program sends to a CD drive.
#pragma once

#include <cstdint>

#include "drive/CdAudio.h"
#include "drive/ScsiCommand.h"

namespace rilvane {

struct CommandCatalogue {
    // Ten CD-DA sectors of 2352 bytes: one read block.
    static constexpr int32_t kSectorsPerRead = cd::kSectorsPerRead;
    static constexpr uint32_t kSectorBytes = cd::kSectorBytes;
    static constexpr uint32_t kReadBlockBytes = cd::kReadBlockBytes;
    static constexpr uint32_t kInquiryBytes = 255;
    static constexpr uint32_t kTocBytes = 2048;
    static constexpr uint32_t kShortTimeoutSeconds = 2;
    static constexpr uint32_t kReadTimeoutSeconds = 200;
    static constexpr uint8_t kSenseBytes = 24;

    // INQUIRY: 12 00 00 00 FF 00.
    static ScsiCommand inquiry();
    // READ TOC, format 0, addresses as sector numbers, from the first track:
    // 43 00 00 00 00 00 00 08 00 00.
    static ScsiCommand readToc();
    // READ CD of ten sectors from `sector`, any sector type, user data only:
    // BE 00 a3 a2 a1 a0 00 00 0A 10 00 00. Fewer sectors (1 to 9) only where
    // a block would run past the lead-out: byte 8 and the data length shrink.
    static ScsiCommand readCd(int32_t sector, int32_t sectors = kSectorsPerRead);
    // The same with the C2 error pointers after each sector's data:
    // byte 9 is 12, 2352 + 294 bytes a sector.
    static constexpr uint32_t kC2PointerBytes = 294;
    // With the block error byte and a pad byte after the pointers (byte 9 is
    // 14, 2352 + 296 bytes a sector): `c2Bytes` 296.
    static constexpr uint32_t kC2WithBlockErrorBytes = 296;
    static ScsiCommand readCdWithC2(int32_t sector, int32_t sectors = kSectorsPerRead,
                                    uint32_t c2Bytes = kC2PointerBytes);
    // SET CD SPEED: BB 00 r1 r0 FF FF 00 ..., the read speed in kB/s
    // (0xFFFF: as fast as the drive can), no data.
    static ScsiCommand setCdSpeed(uint16_t kilobytesPerSecond);
    // READ(12) of no blocks at `sector` with FUA set: A8 08 a3 a2 a1 a0 00 00
    // 00 00 00 00. Brings no data; a drive that honours FUA for its cache
    // forgets what it holds.
    static ScsiCommand forceUnitAccess(int32_t sector);
    // MODE SENSE (10) of the CD capabilities page 2Ah, current values:
    // 5A 00 2A 00 00 00 00 00 40 00.
    static ScsiCommand modeSenseCapabilities();
    // Writes the sector, most significant byte first, into bytes 2 to 5 of a
    // READ CD command block.
    static void writeReadCdSector(uint8_t* cdb, int32_t sector);
};

}  // namespace rilvane
