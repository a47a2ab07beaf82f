// A stand-in for the kernel's SG_IO: records each request and answers it
// with whatever the test prepared.
#pragma once

#include "ScsiGeneric.h"

#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace rilvane::platform::test {

// The path an open descriptor refers to.
inline std::string pathOf(int fd)
{
    char buffer[4096];
    const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

class FakeScsiGeneric : public ScsiGeneric {
public:
    struct Seen {
        sg_io_hdr_t header{};
        std::vector<uint8_t> cdb;
        std::string path;
    };

    // Called with the request; fills in the answer. Returns an errno value
    // to make the ioctl itself fail.
    std::function<int(sg_io_hdr_t&)> answer = [](sg_io_hdr_t&) { return 0; };
    // SCSI ids by device path (for SG_GET_SCSI_ID).
    std::map<std::string, sg_scsi_id> ids;
    // Nodes that refuse to open, with the errno value they give.
    std::map<std::string, int> openErrors;
    // Peripheral device types by node path, as sysfs would report them.
    // Stand-in nodes named srN not listed here count as CD devices' nodes.
    std::map<std::string, int> types;

    int openNode(const std::string& path, int flags) override
    {
        {
            std::lock_guard lock(mutex_);
            opened_.push_back(path);
        }
        auto it = openErrors.find(path);
        return it == openErrors.end() ? ScsiGeneric::openNode(path, flags) : -it->second;
    }

    int nodeType(const std::string& path) override
    {
        auto it = types.find(path);
        if (it != types.end()) return it->second;
        return path.compare(path.rfind('/') + 1, 2, "sr") == 0 ? 5 : -1;
    }

    int sgIo(int fd, sg_io_hdr_t& header) override
    {
        Seen seen;
        seen.header = header;
        seen.cdb.assign(header.cmdp, header.cmdp + header.cmd_len);
        seen.path = pathOf(fd);
        {
            std::lock_guard lock(mutex_);
            seen_.push_back(seen);
        }
        return answer(header);
    }

    int scsiId(int fd, sg_scsi_id& id) override
    {
        auto it = ids.find(pathOf(fd));
        if (it == ids.end()) return ENOTTY;
        id = it->second;
        return 0;
    }

    std::vector<Seen> seen() const
    {
        std::lock_guard lock(mutex_);
        return seen_;
    }

    // Every node asked for, in order.
    std::vector<std::string> opened() const
    {
        std::lock_guard lock(mutex_);
        return opened_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
    std::vector<std::string> opened_;
};

// Installs a fake for one scope and puts the kernel's back afterwards.
class ScopedFakeScsiGeneric {
public:
    ScopedFakeScsiGeneric() : fake(std::make_shared<FakeScsiGeneric>()) { setScsiGeneric(fake); }
    ~ScopedFakeScsiGeneric() { setScsiGeneric(nullptr); }
    ScopedFakeScsiGeneric(const ScopedFakeScsiGeneric&) = delete;
    ScopedFakeScsiGeneric& operator=(const ScopedFakeScsiGeneric&) = delete;

    std::shared_ptr<FakeScsiGeneric> fake;
};

}  // namespace rilvane::platform::test
