#include "ScsiGeneric.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <mutex>

namespace rilvane::platform {

namespace {

class KernelScsiGeneric : public ScsiGeneric {
public:
    int sgIo(int fd, sg_io_hdr_t& header) override
    {
        int result;
        do result = ioctl(fd, SG_IO, &header);
        while (result < 0 && errno == EINTR);
        return result < 0 ? errno : 0;
    }

    int scsiId(int fd, sg_scsi_id& id) override
    {
        return ioctl(fd, SG_GET_SCSI_ID, &id) < 0 ? errno : 0;
    }
};

struct Current {
    std::mutex mutex;
    std::shared_ptr<ScsiGeneric> kernel = std::make_shared<KernelScsiGeneric>();
    std::shared_ptr<ScsiGeneric> active = kernel;
};

Current& current()
{
    static Current* state = new Current();
    return *state;
}

}  // namespace

std::shared_ptr<ScsiGeneric> scsiGeneric()
{
    auto& state = current();
    std::lock_guard lock(state.mutex);
    return state.active;
}

void setScsiGeneric(std::shared_ptr<ScsiGeneric> replacement)
{
    auto& state = current();
    std::lock_guard lock(state.mutex);
    state.active = replacement ? std::move(replacement) : state.kernel;
}

}  // namespace rilvane::platform
