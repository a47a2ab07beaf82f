#include "drive/TransientRetry.h"

#include "drive/SettlingWait.h"

namespace rilvane {

namespace {

struct SenseCode {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
};

// The key and additional sense code of a CHECK CONDITION's sense data, in
// either format; false for anything else.
bool senseCode(uint8_t scsiStatus, const uint8_t* sense, SenseCode& code)
{
    if (scsiStatus != 2 || sense == nullptr)
        return false;
    const uint8_t format = sense[0] & 0x7F;
    if (format == 0x72 || format == 0x73) {
        code = {static_cast<uint8_t>(sense[1] & 0x0F), sense[2], sense[3]};
        return true;
    }
    if (format == 0x70 || format == 0x71) {
        code = {static_cast<uint8_t>(sense[2] & 0x0F), sense[12], sense[13]};
        return true;
    }
    return false;
}

}  // namespace

bool isTransientSense(uint8_t scsiStatus, const uint8_t* sense)
{
    SenseCode code;
    if (!senseCode(scsiStatus, sense, code))
        return false;
    if (code.key == 0x06)
        return code.asc == 0x28 || code.asc == 0x29;
    return code.key == 0x02 && code.asc == 0x04 && code.ascq == 0x01;
}

bool isNoMediumSense(uint8_t scsiStatus, const uint8_t* sense)
{
    SenseCode code;
    return senseCode(scsiStatus, sense, code) && code.key == 0x02 && code.asc == 0x3A;
}

TransientRetry::TransientRetry(std::chrono::milliseconds budget)
    : deadline_(std::chrono::steady_clock::now() + budget)
{
}

bool TransientRetry::again(uint8_t scsiStatus, const uint8_t* sense)
{
    if (isNoMediumSense(scsiStatus, sense)) {
        // Once: a disc being loaded is found on the second asking, an empty
        // drive answers the same again and stands.
        if (noMediumAsked_)
            return false;
        noMediumAsked_ = true;
        return SettlingWait::pause(kNoMediumPause);
    }
    if (!isTransientSense(scsiStatus, sense))
        return false;
    // A unit attention is reported once: the first repeat after one goes at
    // once.
    SenseCode code;
    senseCode(scsiStatus, sense, code);
    if (code.key == 0x06 && unitAttentions_++ == 0)
        return true;
    if (std::chrono::steady_clock::now() + kPause > deadline_)
        return false;
    return SettlingWait::pause(kPause);
}

}  // namespace rilvane
