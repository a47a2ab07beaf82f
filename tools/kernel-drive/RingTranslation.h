// Between the TCMU ring and the virtual drive: each command the kernel queues
// goes to the drive's command set as it is, and the drive's reply goes back
// in the ring's terms. Nothing here knows a command beyond what a transport
// must: a drive that is gone, and a read that brought nothing.
#pragma once

#include "TcmuRing.h"
#include "vdrive/VirtualDrive.h"

#include <string>

namespace rilvane::kerneldrive {

struct Translation {
    RingAnswer answer;
    // The drive is gone (a defect took it away): the kernel should lose it.
    bool driveGone = false;
};

Translation translate(vdrive::VirtualDrive& drive, RingCommand& command);

// One line for the command trace: the command's name, its CDB in hex, the
// data length, and the answer (status, sense key/ASC/ASCQ, bytes sent).
std::string traceLine(const RingCommand& command, const RingAnswer& answer);

}  // namespace rilvane::kerneldrive
