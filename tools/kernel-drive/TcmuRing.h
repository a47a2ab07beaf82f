// The command ring of a TCMU device (target_core_user), spoken directly over
// its UIO node: the kernel queues SCSI commands in a shared ring, the handler
// answers each in place and moves the ring's tail on.
//
// Layout (the kernel's target_core_user.h, mailbox version 2):
//   mailbox   version u16 @0, flags u16 @2, cmdr_off u32 @4, cmdr_size u32 @8,
//             cmd_head u32 @12 (kernel), cmd_tail u32 @64 (handler)
//   entry     len_op u32 @0 (low 3 bits: op), cmd_id u16 @4, kflags @6, uflags @7
//     req     iov_cnt u32 @8, iov_bidi_cnt @12, iov_dif_cnt @16, cdb_off u64 @24,
//             iov[] @48 (offset, length: u64 each; offsets are into the mapping)
//     rsp     scsi_status u8 @8, read_len_valid u8 @9, read_len u32 @12, sense[96] @16
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rilvane::kerneldrive {

// One command as the handler sees it, and what it answers.
struct RingCommand {
    const uint8_t* cdb = nullptr;
    size_t cdbLength = 0;
    std::vector<uint8_t> data;  // the data buffer: data-out bytes in, data-in bytes out
};

struct RingAnswer {
    uint8_t status = 0;
    uint8_t sense[96] = {};
    uint32_t senseLength = 0;
    // Bytes of data-in produced; fewer than the buffer holds is a short transfer.
    uint32_t transferred = 0;
};

class TcmuRing {
public:
    using Handler = std::function<RingAnswer(RingCommand&)>;

    TcmuRing() = default;
    ~TcmuRing();
    TcmuRing(const TcmuRing&) = delete;
    TcmuRing& operator=(const TcmuRing&) = delete;

    // Opens /dev/uioN and maps its memory (size from sysfs). On failure
    // returns false and sets error.
    bool open(const std::string& uioName, std::string& error);

    // Serves a ring laid out in memory the caller owns, without a device
    // to tell (for tests of the layout).
    void attach(uint8_t* map, size_t size);

    // Answers every command waiting in the ring; returns how many.
    size_t serveWaiting(const Handler& handler);

    // Serves until stopFd becomes readable: waits for the kernel's interrupt,
    // then answers what is queued. The ring is looked at once first, since
    // commands queued before the node was opened raise no interrupt.
    void serve(const Handler& handler, int stopFd);

private:
    void answer(uint8_t* entry, const Handler& handler);

    int fd_ = -1;
    uint8_t* map_ = nullptr;
    size_t mapSize_ = 0;
    bool borrowed_ = false;
};

// The command length of a CDB from its group code.
size_t cdbLengthOf(uint8_t opcode);

// The name of the UIO node (uioN) whose name is tcm-user/HBA/DEVICE/...,
// or empty.
std::string findUioNode(const std::string& deviceName);

}  // namespace rilvane::kerneldrive
