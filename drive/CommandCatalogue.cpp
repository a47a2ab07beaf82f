#include "drive/CommandCatalogue.h"

namespace rilvane {

ScsiCommand CommandCatalogue::inquiry()
{
    ScsiCommand command;
    command.cdb[0] = 0x12;
    command.cdb[4] = 0xFF;  // allocation length
    command.cdbLength = 6;
    command.dataLength = kInquiryBytes;
    command.timeoutSeconds = kShortTimeoutSeconds;
    return command;
}

ScsiCommand CommandCatalogue::readToc()
{
    ScsiCommand command;
    command.cdb[0] = 0x43;
    command.cdb[7] = 0x08;  // allocation length 0x0800
    command.cdb[8] = 0x00;
    command.cdbLength = 10;
    command.dataLength = kTocBytes;
    command.timeoutSeconds = kShortTimeoutSeconds;
    return command;
}

ScsiCommand CommandCatalogue::readCd(int32_t sector, int32_t sectors)
{
    ScsiCommand command;
    command.cdb[0] = 0xBE;
    // Expected sector type CD-DA: a drive refuses a data sector (05/64/00)
    // instead of sending its 2048 bytes of user data as if they were sound.
    command.cdb[1] = 0x04;
    writeReadCdSector(command.cdb.data(), sector);
    command.cdb[8] = static_cast<uint8_t>(sectors);  // transfer length
    command.cdb[9] = 0x10;                                   // user data only
    command.cdbLength = 12;
    command.dataLength = static_cast<uint32_t>(sectors) * kSectorBytes;
    command.timeoutSeconds = kReadTimeoutSeconds;
    return command;
}

ScsiCommand CommandCatalogue::readCdWithC2(int32_t sector, int32_t sectors, uint32_t c2Bytes)
{
    ScsiCommand command = readCd(sector, sectors);
    const bool blockError = c2Bytes == kC2WithBlockErrorBytes;
    command.cdb[9] = blockError ? 0x14 : 0x12;  // user data and the C2 error pointers
    command.dataLength =
        static_cast<uint32_t>(sectors) * (kSectorBytes + (blockError ? kC2WithBlockErrorBytes : kC2PointerBytes));
    return command;
}

ScsiCommand CommandCatalogue::setCdSpeed(uint16_t kilobytesPerSecond)
{
    ScsiCommand command;
    command.cdb[0] = 0xBB;
    command.cdb[2] = static_cast<uint8_t>(kilobytesPerSecond >> 8);
    command.cdb[3] = static_cast<uint8_t>(kilobytesPerSecond);
    command.cdb[4] = 0xFF;  // write speed: as fast as it can
    command.cdb[5] = 0xFF;
    command.cdbLength = 12;
    command.timeoutSeconds = kShortTimeoutSeconds;
    return command;
}

ScsiCommand CommandCatalogue::forceUnitAccess(int32_t sector)
{
    ScsiCommand command;
    command.cdb[0] = 0xA8;
    command.cdb[1] = 0x08;
    writeReadCdSector(command.cdb.data(), sector);
    command.cdbLength = 12;
    command.timeoutSeconds = kReadTimeoutSeconds;
    return command;
}

ScsiCommand CommandCatalogue::modeSenseCapabilities()
{
    ScsiCommand command;
    command.cdb[0] = 0x5A;
    command.cdb[2] = 0x2A;
    command.cdb[8] = 0x40;  // allocation length
    command.cdbLength = 10;
    command.dataLength = 0x40;
    command.timeoutSeconds = kShortTimeoutSeconds;
    return command;
}

void CommandCatalogue::writeReadCdSector(uint8_t* cdb, int32_t sector)
{
    const auto bits = static_cast<uint32_t>(sector);
    cdb[2] = static_cast<uint8_t>(bits >> 24);
    cdb[3] = static_cast<uint8_t>(bits >> 16);
    cdb[4] = static_cast<uint8_t>(bits >> 8);
    cdb[5] = static_cast<uint8_t>(bits);
}

}  // namespace rilvane
