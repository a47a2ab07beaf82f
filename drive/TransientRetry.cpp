#include "drive/TransientRetry.h"

#include <thread>

namespace rilvane {

bool isTransientSense(uint8_t scsiStatus, const uint8_t* sense)
{
    if (scsiStatus != 2 || sense == nullptr)
        return false;
    const uint8_t format = sense[0] & 0x7F;
    uint8_t key = 0, asc = 0, ascq = 0;
    if (format == 0x72 || format == 0x73) {
        key = sense[1] & 0x0F;
        asc = sense[2];
        ascq = sense[3];
    } else if (format == 0x70 || format == 0x71) {
        key = sense[2] & 0x0F;
        asc = sense[12];
        ascq = sense[13];
    } else {
        return false;
    }
    if (key == 0x06)
        return asc == 0x28 || asc == 0x29;
    return key == 0x02 && asc == 0x04 && ascq == 0x01;
}

TransientRetry::TransientRetry(std::chrono::milliseconds budget)
    : deadline_(std::chrono::steady_clock::now() + budget)
{
}

bool TransientRetry::again(uint8_t scsiStatus, const uint8_t* sense)
{
    if (!isTransientSense(scsiStatus, sense))
        return false;
    // A unit attention is reported once: the first repeat goes at once.
    if (attempts_++ == 0)
        return true;
    if (std::chrono::steady_clock::now() + kPause > deadline_)
        return false;
    std::this_thread::sleep_for(kPause);
    return true;
}

}  // namespace rilvane
