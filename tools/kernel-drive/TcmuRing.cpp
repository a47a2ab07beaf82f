#include "TcmuRing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace rilvane::kerneldrive {

namespace {

constexpr size_t kMailboxCmdrOff = 4;
constexpr size_t kMailboxCmdrSize = 8;
constexpr size_t kMailboxCmdHead = 12;
constexpr size_t kMailboxCmdTail = 64;
constexpr uint16_t kCapReadLen = 1 << 1;

constexpr uint32_t kOpMask = 0x7;
constexpr uint32_t kOpPad = 0;
constexpr uint32_t kOpCmd = 1;
constexpr uint8_t kUflagUnknownOp = 0x1;
constexpr uint8_t kUflagReadLen = 0x2;

constexpr size_t kEntryUflags = 7;
constexpr size_t kReqIovCnt = 8;
constexpr size_t kReqCdbOff = 24;
constexpr size_t kReqIov = 48;
constexpr size_t kRspStatus = 8;
constexpr size_t kRspReadLenValid = 9;
constexpr size_t kRspReadLen = 12;
constexpr size_t kRspSense = 16;
constexpr size_t kSenseBytes = 96;

template <typename T>
T load(const uint8_t* p)
{
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T>
void store(uint8_t* p, T value)
{
    std::memcpy(p, &value, sizeof value);
}

uint32_t loadAcquire(const uint8_t* p)
{
    return __atomic_load_n(reinterpret_cast<const uint32_t*>(p), __ATOMIC_ACQUIRE);
}

void storeRelease(uint8_t* p, uint32_t value)
{
    __atomic_store_n(reinterpret_cast<uint32_t*>(p), value, __ATOMIC_RELEASE);
}

std::string readLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

size_t cdbLengthOf(uint8_t opcode)
{
    switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 16;  // vendor groups: read no more than the kernel keeps
    }
}

std::string findUioNode(const std::string& deviceName)
{
    std::string found;
    DIR* dir = ::opendir("/sys/class/uio");
    if (dir == nullptr)
        return found;
    while (const dirent* e = ::readdir(dir)) {
        const std::string node = e->d_name;
        if (node.rfind("uio", 0) != 0)
            continue;
        const std::string name = readLine("/sys/class/uio/" + node + "/name");
        // tcm-user/<hba>/<device>/<config>
        if (name.rfind("tcm-user/", 0) != 0)
            continue;
        const size_t hbaEnd = name.find('/', 9);
        if (hbaEnd == std::string::npos)
            continue;
        const size_t deviceEnd = name.find('/', hbaEnd + 1);
        if (name.substr(hbaEnd + 1, deviceEnd - hbaEnd - 1) == deviceName) {
            found = node;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

void TcmuRing::attach(uint8_t* map, size_t size)
{
    map_ = map;
    mapSize_ = size;
    borrowed_ = true;
}

TcmuRing::~TcmuRing()
{
    if (map_ != nullptr && !borrowed_)
        ::munmap(map_, mapSize_);
    if (fd_ >= 0)
        ::close(fd_);
}

bool TcmuRing::open(const std::string& uioName, std::string& error)
{
    const std::string sizeText = readLine("/sys/class/uio/" + uioName + "/maps/map0/size");
    mapSize_ = static_cast<size_t>(std::strtoull(sizeText.c_str(), nullptr, 0));
    if (mapSize_ == 0) {
        error = "/sys/class/uio/" + uioName + "/maps/map0/size: keine Größe";
        return false;
    }
    const std::string node = "/dev/" + uioName;
    fd_ = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        error = node + ": " + std::strerror(errno);
        return false;
    }
    void* map = ::mmap(nullptr, mapSize_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (map == MAP_FAILED) {
        error = node + ": mmap: " + std::strerror(errno);
        return false;
    }
    map_ = static_cast<uint8_t*>(map);
    return true;
}

void TcmuRing::answer(uint8_t* entry, const Handler& handler)
{
    const uint32_t iovCount = load<uint32_t>(entry + kReqIovCnt);
    const uint64_t cdbOff = load<uint64_t>(entry + kReqCdbOff);
    struct Piece {
        uint64_t offset;
        uint64_t length;
    };
    std::vector<Piece> pieces;
    size_t total = 0;
    for (uint32_t i = 0; i < iovCount; ++i) {
        const uint8_t* iov = entry + kReqIov + 16 * size_t(i);
        Piece piece{load<uint64_t>(iov), load<uint64_t>(iov + 8)};
        // A piece outside the mapping would be the kernel's bug; never follow it.
        if (piece.offset > mapSize_ || piece.length > mapSize_ - piece.offset)
            piece.length = 0;
        pieces.push_back(piece);
        total += piece.length;
    }

    RingCommand command;
    RingAnswer reply;
    if (cdbOff < mapSize_) {
        command.cdb = map_ + cdbOff;
        command.cdbLength = std::min<size_t>(cdbLengthOf(command.cdb[0]), mapSize_ - cdbOff);
        command.data.resize(total);
        size_t at = 0;
        for (const Piece& p : pieces) {
            std::memcpy(command.data.data() + at, map_ + p.offset, p.length);
            at += p.length;
        }
        reply = handler(command);
    } else {
        entry[kEntryUflags] |= kUflagUnknownOp;
    }

    const uint32_t sent = std::min<uint32_t>(reply.transferred, static_cast<uint32_t>(total));
    size_t at = 0;
    for (const Piece& p : pieces) {
        if (at >= sent)
            break;
        const size_t n = std::min<size_t>(p.length, sent - at);
        std::memcpy(map_ + p.offset, command.data.data() + at, n);
        at += n;
    }

    entry[kRspStatus] = reply.status;
    entry[kRspReadLenValid] = 0;
    store<uint32_t>(entry + kRspReadLen, 0);
    std::memset(entry + kRspSense, 0, kSenseBytes);
    if (reply.status != 0)
        std::memcpy(entry + kRspSense, reply.sense, std::min<size_t>(reply.senseLength, kSenseBytes));
    // A short transfer is told with its true length; without it the kernel
    // would report the whole buffer as sent.
    const uint16_t flags = load<uint16_t>(map_ + 2);
    if (reply.status == 0 && sent < total && (flags & kCapReadLen) != 0) {
        entry[kEntryUflags] |= kUflagReadLen;
        entry[kRspReadLenValid] = 1;
        store<uint32_t>(entry + kRspReadLen, sent);
    }
}

size_t TcmuRing::serveWaiting(const Handler& handler)
{
    const uint32_t cmdrOff = load<uint32_t>(map_ + kMailboxCmdrOff);
    const uint32_t cmdrSize = load<uint32_t>(map_ + kMailboxCmdrSize);
    size_t served = 0;
    uint32_t tail = load<uint32_t>(map_ + kMailboxCmdTail);
    for (;;) {
        const uint32_t head = loadAcquire(map_ + kMailboxCmdHead);
        if (tail == head)
            break;
        uint8_t* entry = map_ + cmdrOff + tail;
        const uint32_t lenOp = load<uint32_t>(entry);
        const uint32_t length = lenOp & ~kOpMask;
        if (length == 0)
            break;  // a broken entry: stop rather than spin
        const uint32_t op = lenOp & kOpMask;
        if (op == kOpCmd) {
            answer(entry, handler);
            ++served;
        }
        // Padding and task-management notices need no answer.
        (void)kOpPad;
        tail = (tail + length) % cmdrSize;
        storeRelease(map_ + kMailboxCmdTail, tail);
    }
    if (served > 0 && fd_ >= 0) {
        const uint32_t kick = 0;
        [[maybe_unused]] const ssize_t n = ::write(fd_, &kick, sizeof kick);
    }
    return served;
}

void TcmuRing::serve(const Handler& handler, int stopFd)
{
    serveWaiting(handler);
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents & POLLIN) {
            uint32_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
        } else if (fds[0].revents != 0) {
            return;  // the device went away under us
        }
        serveWaiting(handler);
    }
}

}  // namespace rilvane::kerneldrive
