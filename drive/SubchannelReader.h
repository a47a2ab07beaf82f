// Asks a drive what the disc's sub-channel and lead-in say beside the audio:
// the catalogue number and each track's ISRC (READ SUB-CHANNEL formats 2 and
// 3), the CD-Text (READ TOC format 5) and the Q frame of single sectors (READ
// CD with formatted Q). Goes through the block reader's commands, so it works
// on every transport the reads do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "drive/BlockReader.h"
#include "drive/CdTextPacks.h"
#include "drive/QFrame.h"
#include "drive/ScsiCommand.h"

namespace rilvane {

class SubchannelReader {
public:
    explicit SubchannelReader(BlockReader& reader) : reader_(reader) {}

    // The catalogue number when the drive reports one (MCVAL set) and it is
    // 13 digits, not all zero.
    std::optional<std::string> catalog();
    // Track `track`'s ISRC when the drive reports one (TCVAL set) and it has
    // the form CCOOOYYSSSSS (letters and digits, then seven digits).
    std::optional<std::string> isrc(int track);
    // The CD-Text; nullopt when the drive refused the command.
    std::optional<CdTextPacks> cdText();

    enum class QRead {
        Failed,  // the drive refused or could not read the sector
        BadCrc,  // the frame came, but its CRC (or a field) is wrong
        Good,
    };
    // The Q frame of `sector`.
    QRead q(int32_t sector, QFrame& frame);

    // Commands sent so far.
    int commands() const { return commands_; }

    static ScsiCommand readSubChannel(uint8_t format, int track);
    static ScsiCommand readCdText();
    static ScsiCommand readCdWithQ(int32_t sector);

private:
    BlockReader& reader_;
    int commands_ = 0;
};

}  // namespace rilvane
