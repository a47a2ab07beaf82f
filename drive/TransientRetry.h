// Answers a drive gives for a while after a disc goes in: UNIT ATTENTION
// (06/28/xx medium may have changed, 06/29/xx reset) once, NOT READY 02/04/01
// (becoming ready) while it spins up. The command is then worth sending
// again, for a bounded time. A drive that is still loading the disc says
// "no medium" (02/3A/xx) for a moment first: that answer is worth one more
// try after a short pause, so that an empty drive is still reported at once.
#pragma once

#include <chrono>
#include <cstdint>

namespace rilvane {

// True when the status and sense (fixed or descriptor format, at least 14
// bytes) say the drive will soon answer the same command normally.
bool isTransientSense(uint8_t scsiStatus, const uint8_t* sense);

// True when the status and sense say there is no medium (02/3A/xx).
bool isNoMediumSense(uint8_t scsiStatus, const uint8_t* sense);

class TransientRetry {
public:
    static constexpr std::chrono::milliseconds kBudget{8000};
    static constexpr std::chrono::milliseconds kPause{200};
    // How long a drive that says "no medium" gets before it is asked again.
    static constexpr std::chrono::milliseconds kNoMediumPause{300};

    explicit TransientRetry(std::chrono::milliseconds budget = kBudget);

    // After a failed command: true when it should be sent again (having
    // waited where waiting helps), false when the failure stands. The waits
    // go through SettlingWait, which may end them early (a stop request):
    // then the failure stands too.
    bool again(uint8_t scsiStatus, const uint8_t* sense);

private:
    std::chrono::steady_clock::time_point deadline_;
    int unitAttentions_ = 0;
    bool noMediumAsked_ = false;
};

}  // namespace rilvane
