// A disc image served as a SCSI target: the virtual CD drive.
//
// A VirtualDrive is made from a CUE sheet (with BIN files of raw 2352-byte
// sectors or WAVE files; audio and Mode 1 data tracks) and an optional defect
// map that turns it into a scratched disc (DefectMap.h). It answers as an
// MMC drive with an audio CD does (the commands are listed in ScsiOpcodes.h):
// the TOC in all its forms, CD-Text, the sub-channel, READ CD with C2 pointers
// and sub-channel data, speed, play and the tray; CHECK CONDITION 05/20/00
// for everything else. Sense data is fixed-format unless the defect
// map asks for descriptor format; the map's start-up answers let it report
// no disc, becoming ready or a disc change before it answers normally.
//
// The platform library owns the drives configured in RILVANE_VIRTUAL_DRIVES
// and routes pass-through and ASPI requests to execute().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rilvane::vdrive {

// What one command did, in the terms both transports report.
struct ScsiReply {
    // The transport itself failed (the configured defect is "gone"): the
    // pass-through call returns FALSE, ASPI reports a failed request status.
    bool transportFailure = false;
    // The command took longer than its time limit (see setTimeLimit): the
    // caller gave up on it, as the kernel does with a real drive.
    bool timedOut = false;
    uint8_t status = 0;          // SCSI status byte: 0 good, 2 check condition
    uint8_t sense[18] = {};      // sense data (0x70 fixed or 0x72 descriptor format), valid when status == 2
    uint32_t senseLength = 0;    // bytes of sense data when status == 2 (18 fixed, 8 descriptor), else 0
    uint32_t transferred = 0;    // bytes of data-in actually written to the caller's buffer
};

class VirtualDrive {
public:
    // Loads the CUE sheet and, when defectsPath is not empty, the defect map.
    // On a bad file returns nullptr and sets error to a line naming the file
    // and the line number.
    static std::unique_ptr<VirtualDrive> load(const std::string& cuePath, const std::string& defectsPath,
                                              std::string& error);

    virtual ~VirtualDrive() = default;

    // Runs one command with a data-in phase of at most dataLength bytes into
    // data. May sleep for a defect's delay. Safe to call from any thread, one
    // command at a time per drive (callers serialise).
    virtual ScsiReply execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) = 0;

    // The time limit of the next commands in milliseconds (0: none): a
    // defect's delay longer than that ends the command at the limit, timed
    // out.
    virtual void setTimeLimit(uint32_t /*milliseconds*/) {}

    // INQUIRY product identification, as configured (for diagnostics).
    virtual std::string productName() const = 0;
};

}  // namespace rilvane::vdrive
