#include "RingTranslation.h"

#include "vdrive/ScsiOpcodes.h"
#include "vdrive/ScsiReplies.h"

#include <cstdio>
#include <cstring>

namespace rilvane::kerneldrive {

namespace {

void setReply(RingAnswer& answer, const vdrive::ScsiReply& reply)
{
    answer.status = reply.status;
    answer.senseLength = std::min<uint32_t>(reply.senseLength, sizeof answer.sense);
    std::memset(answer.sense, 0, sizeof answer.sense);
    std::memcpy(answer.sense, reply.sense, std::min<size_t>(answer.senseLength, sizeof reply.sense));
    answer.transferred = reply.status == 0 ? reply.transferred : 0;
}

}  // namespace

Translation translate(vdrive::VirtualDrive& drive, RingCommand& command)
{
    Translation result;
    if (command.cdb == nullptr || command.cdbLength == 0) {
        setReply(result.answer, vdrive::checkCondition(vdrive::kInvalidOpcode));
        return result;
    }
    const vdrive::ScsiReply reply =
        drive.execute(command.cdb, command.cdbLength, command.data.data(), static_cast<uint32_t>(command.data.size()));
    // A defect that takes the drive away: this command fails as the unit
    // dies, and the drive leaves the kernel.
    if (reply.transportFailure) {
        setReply(result.answer, vdrive::checkCondition(vdrive::kLogicalUnitFailure));
        result.driveGone = true;
        return result;
    }
    setReply(result.answer, reply);
    // GOOD without a byte of the data asked for would reach the reader as a
    // whole buffer of stale bytes: the drive fails the read instead.
    if (reply.status == 0 && reply.transferred == 0 && !command.data.empty() && vdrive::op::readsMedium(command.cdb[0]))
        setReply(result.answer, vdrive::checkCondition(vdrive::kUnrecoveredReadError));
    return result;
}

std::string traceLine(const RingCommand& command, const RingAnswer& answer)
{
    std::string line;
    char hex[8];
    const uint8_t code = command.cdbLength > 0 ? command.cdb[0] : 0;
    const std::string_view name = vdrive::op::nameOf(code);
    line += name.empty() ? std::string_view("(unknown)") : name;
    line += " [";
    for (size_t i = 0; i < command.cdbLength; ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", command.cdb[i]);
        line += hex;
    }
    line += "] len " + std::to_string(command.data.size());
    if (answer.status == 0) {
        line += " -> GOOD " + std::to_string(answer.transferred);
    } else {
        const bool descriptor = (answer.sense[0] & 0x7F) >= 0x72;
        const uint8_t key = (descriptor ? answer.sense[1] : answer.sense[2]) & 0x0F;
        const uint8_t asc = descriptor ? answer.sense[2] : answer.sense[12];
        const uint8_t ascq = descriptor ? answer.sense[3] : answer.sense[13];
        std::snprintf(hex, sizeof hex, "%X", key);
        line += " -> CHECK ";
        line += hex;
        std::snprintf(hex, sizeof hex, "/%02X", asc);
        line += hex;
        std::snprintf(hex, sizeof hex, "/%02X", ascq);
        line += hex;
    }
    return line;
}

}  // namespace rilvane::kerneldrive
