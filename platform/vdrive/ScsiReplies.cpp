#include "ScsiReplies.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace rilvane::vdrive {

ScsiReply good(uint32_t transferred)
{
    ScsiReply reply;
    reply.transferred = transferred;
    return reply;
}

ScsiReply checkCondition(SenseCode sense)
{
    ScsiReply reply;
    reply.status = 2;
    reply.sense[0] = 0x70;  // current error, fixed format
    reply.sense[2] = sense.key;
    reply.sense[7] = 10;    // additional sense length
    reply.sense[12] = sense.asc;
    reply.sense[13] = sense.ascq;
    reply.senseLength = sizeof reply.sense;
    return reply;
}

ScsiReply inDescriptorFormat(ScsiReply reply)
{
    if (reply.status != 2 || reply.senseLength < 14 || (reply.sense[0] & 0x7F) != 0x70)
        return reply;
    const SenseCode code{static_cast<uint8_t>(reply.sense[2] & 0x0F), reply.sense[12], reply.sense[13]};
    std::memset(reply.sense, 0, sizeof reply.sense);
    reply.sense[0] = 0x72;  // current error, descriptor format, no descriptors
    reply.sense[1] = code.key;
    reply.sense[2] = code.asc;
    reply.sense[3] = code.ascq;
    reply.senseLength = 8;
    return reply;
}

ScsiReply defectReply(const DefectAction& action, uint32_t timeLimitMs)
{
    // A delay beyond the caller's time limit ends at the limit: the caller
    // gave up on the command, as the kernel does with a real drive.
    if (timeLimitMs > 0 && action.delayMs > timeLimitMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeLimitMs));
        ScsiReply reply;
        reply.timedOut = true;
        return reply;
    }
    if (action.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(action.delayMs));
    if (action.gone) {
        ScsiReply reply;
        reply.transportFailure = true;
        return reply;
    }
    return checkCondition(action.sense);
}

uint32_t copyOut(const uint8_t* source, size_t length, uint8_t* data, uint32_t dataLength)
{
    const size_t n = std::min<size_t>(length, dataLength);
    if (n > 0)
        std::memcpy(data, source, n);
    return static_cast<uint32_t>(n);
}

ScsiReply answerWith(const uint8_t* answer, size_t length, uint32_t allocation, uint8_t* data, uint32_t dataLength)
{
    return good(copyOut(answer, length, data, std::min(allocation, dataLength)));
}

}  // namespace rilvane::vdrive
