#include "proof/ShiftedAudio.h"

#include <algorithm>
#include <cstring>

namespace rilvane::proof {

ShiftedAudio::ShiftedAudio(SectorSource& source, int32_t audioFirst, int32_t audioEnd, int offset)
    : source_(source),
      validFirst_(int64_t{audioFirst} * kFramesPerSector),
      validEnd_(int64_t{audioEnd} * kFramesPerSector),
      offset_(offset)
{
}

bool ShiftedAudio::stream(int32_t first, int32_t end, const Sink& sink)
{
    const int64_t endFrame = int64_t{end} * kFramesPerSector;
    for (int64_t at = int64_t{first} * kFramesPerSector; at < endFrame;) {
        const size_t count = static_cast<size_t>(std::min<int64_t>(kPieceFrames, endFrame - at));
        piece_.assign(count * 4, 0);
        // The frames of the source this piece takes, clipped to the audio.
        const int64_t from = std::max(at + offset_, validFirst_);
        const int64_t to = std::min(at + offset_ + static_cast<int64_t>(count), validEnd_);
        if (from < to) {
            const int64_t firstSector = from / kFramesPerSector;
            const int64_t endSector = (to + kFramesPerSector - 1) / kFramesPerSector;
            sectors_.resize(static_cast<size_t>(endSector - firstSector) * kFramesPerSector * 4);
            if (!source_.read(static_cast<int32_t>(firstSector), static_cast<int32_t>(endSector - firstSector),
                              sectors_.data()))
                return false;
            std::memcpy(piece_.data() + (from - at - offset_) * 4,
                        sectors_.data() + (from - firstSector * kFramesPerSector) * 4,
                        static_cast<size_t>(to - from) * 4);
        }
        sink(piece_.data(), count);
        at += static_cast<int64_t>(count);
    }
    return true;
}

}  // namespace rilvane::proof
