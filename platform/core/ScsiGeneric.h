// How the platform reaches real drives, behind one seam: opening a device
// node, the two Linux SCSI generic ioctls, and the device type the kernel
// reports for a node.
//
// Everything that talks to a real drive goes through the current
// ScsiGeneric; the kernel's is the default. Tests put their own in place to
// see exactly which sg_io_hdr the layer builds and to answer it, and to make
// a node fail to open the way real ones do (permission, no device, busy).
#pragma once

#include "UniqueFd.h"

#include <scsi/sg.h>

#include <memory>
#include <string>

namespace rilvane::platform {

class ScsiGeneric {
public:
    virtual ~ScsiGeneric() = default;

    // ioctl(fd, SG_IO, &header): 0 on success, else the errno value.
    virtual int sgIo(int fd, sg_io_hdr_t& header) = 0;

    // ioctl(fd, SG_GET_SCSI_ID, &id): 0 on success, else the errno value.
    virtual int scsiId(int fd, sg_scsi_id& id) = 0;

    // open(path, flags): the descriptor, or minus the errno value.
    virtual int openNode(const std::string& path, int flags);

    // The peripheral device type of the SCSI device behind a character or
    // block node (5: CD device) as sysfs reports it, found by the node's
    // device number so that it works for nodes we may not open; -1 when
    // unknown or when the path is no device node.
    virtual int nodeType(const std::string& path);
};

// The one in use (never null).
std::shared_ptr<ScsiGeneric> scsiGeneric();

// Replaces it; nullptr puts the kernel's back.
void setScsiGeneric(std::shared_ptr<ScsiGeneric> replacement);

// Opens a node the way a drive is opened for commands: read-write, which is
// what SG_IO wants for commands that write, or read-only where that is all
// we may do (a drive we may only read still answers reading commands). On
// failure the descriptor is invalid and error holds the errno value.
UniqueFd openDeviceNode(ScsiGeneric& sg, const std::string& path, int& error);

}  // namespace rilvane::platform
