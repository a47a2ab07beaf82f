#include "ReadPace.h"

#include "DefectMap.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace rilvane::vdrive {

namespace {

constexpr int64_t kSectorsPerSecondAt1x = 75;
// 1x is 176.4 kB/s: speeds are reckoned in tenths of a kB/s.
constexpr uint32_t kTenthKilobytesAt1x = 1764;
constexpr uint32_t kAsFastAsPossible = 0xFFFF;

}  // namespace

ReadPace::ReadPace(uint32_t timedTopSpeed)
    : timed_(timedTopSpeed != 0), top_(timedTopSpeed != 0 ? timedTopSpeed : kDefaultTopSpeed), current_(top_)
{
}

uint32_t ReadPace::request(uint32_t kilobytesPerSecond)
{
    if (kilobytesPerSecond >= kAsFastAsPossible) {
        current_ = top_;
        return current_;
    }
    const uint32_t nearest = (kilobytesPerSecond * 10 + kTenthKilobytesAt1x / 2) / kTenthKilobytesAt1x;
    current_ = std::clamp<uint32_t>(nearest, 1, top_);
    return current_;
}

uint16_t ReadPace::kilobytesPerSecond(uint32_t speed)
{
    const uint32_t value = (speed * kTenthKilobytesAt1x + 5) / 10;
    return static_cast<uint16_t>(std::min<uint32_t>(value, kAsFastAsPossible - 1));
}

void ReadPace::spend(int64_t sectors) const
{
    if (!timed_ || sectors <= 0)
        return;
    const auto perSecond = kSectorsPerSecondAt1x * static_cast<int64_t>(current_);
    std::this_thread::sleep_for(std::chrono::microseconds(sectors * 1'000'000 / perSecond));
}

}  // namespace rilvane::vdrive
