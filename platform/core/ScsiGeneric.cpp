#include "ScsiGeneric.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <fstream>
#include <mutex>

namespace rilvane::platform {

int ScsiGeneric::openNode(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags);
    return fd >= 0 ? fd : -errno;
}

int ScsiGeneric::nodeType(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !(S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))) return -1;
    std::ifstream file(std::string(S_ISBLK(info.st_mode) ? "/sys/dev/block/" : "/sys/dev/char/") +
                       std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)) +
                       "/device/type");
    int type = -1;
    if (!(file >> type) || type < 0 || type > 0x1F) return -1;
    return type;
}

UniqueFd openDeviceNode(ScsiGeneric& sg, const std::string& path, int& error)
{
    int fd = sg.openNode(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && fd != -ENOENT) fd = sg.openNode(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    error = fd < 0 ? -fd : 0;
    return UniqueFd(fd < 0 ? -1 : fd);
}

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
