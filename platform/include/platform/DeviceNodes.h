// The optical device nodes the platform examined, and why it could not use
// those it could not use.
//
// Drive letters and ASPI targets only show drives that work; a node the user
// may not open, or whose device is gone, would otherwise look like no drive at
// all. Drive discovery and rilvane-probe read this list to say why.
#pragma once

#include <string>
#include <vector>

namespace rilvane::platform {

struct OpticalNode {
    std::string path;        // /dev/sr0, /dev/sg1, ...
    int error = 0;           // 0: usable; else the errno value of opening (or asking) it
    std::string systemText;  // the system's text for error, e.g. "Permission denied"
    unsigned groupId = 0;    // the group that owns the node
    std::string groupName;   // its name, empty when the system does not know it
    unsigned mode = 0;       // the node's permission bits
    // False for an srN that is no CD drive's device node at all (a FIFO, a
    // folder, a regular file, another device); error is ENODEV then.
    bool cdDevice = true;
};

// Every /dev/srN and every /dev/sgN of a CD device, in the order examined
// (sr before sg, each by number). Empty when real drives are off
// (RILVANE_NO_REAL_DRIVES) or there are none.
__attribute__((visibility("default"))) std::vector<OpticalNode> opticalNodes();

}  // namespace rilvane::platform
