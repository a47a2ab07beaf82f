// The two Linux SCSI generic ioctls the platform uses, behind one seam.
//
// Everything that talks to a real drive goes through the current
// ScsiGeneric; the kernel's is the default. Tests put their own in place to
// see exactly which sg_io_hdr the layer builds and to answer it.
#pragma once

#include <scsi/sg.h>

#include <memory>

namespace rilvane::platform {

class ScsiGeneric {
public:
    virtual ~ScsiGeneric() = default;

    // ioctl(fd, SG_IO, &header): 0 on success, else the errno value.
    virtual int sgIo(int fd, sg_io_hdr_t& header) = 0;

    // ioctl(fd, SG_GET_SCSI_ID, &id): 0 on success, else the errno value.
    virtual int scsiId(int fd, sg_scsi_id& id) = 0;
};

// The one in use (never null).
std::shared_ptr<ScsiGeneric> scsiGeneric();

// Replaces it; nullptr puts the kernel's back.
void setScsiGeneric(std::shared_ptr<ScsiGeneric> replacement);

}  // namespace rilvane::platform
