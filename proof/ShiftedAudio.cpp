#include "proof/ShiftedAudio.h"

#include <algorithm>
#include <cstring>

namespace rilvane::proof {

ShiftedAudio::ShiftedAudio(SectorSource& source, int32_t audioFirst, int32_t audioEnd, int offset)
    : source_(source),
      validFirst_(int64_t{audioFirst} * cd::kFramesPerSector),
      validEnd_(int64_t{audioEnd} * cd::kFramesPerSector),
      offset_(offset)
{
}

bool ShiftedAudio::stream(int32_t first, int32_t end, const Sink& sink)
{
    const int64_t endFrame = int64_t{end} * cd::kFramesPerSector;
    for (int64_t at = int64_t{first} * cd::kFramesPerSector; at < endFrame;) {
        const size_t count = static_cast<size_t>(std::min<int64_t>(kPieceFrames, endFrame - at));
        piece_.assign(count * cd::kFrameBytes, 0);
        // The frames of the source this piece takes, clipped to the audio.
        const int64_t from = std::max(at + offset_, validFirst_);
        const int64_t to = std::min(at + offset_ + static_cast<int64_t>(count), validEnd_);
        if (from < to) {
            const int64_t firstSector = from / cd::kFramesPerSector;
            const int64_t endSector = (to + cd::kFramesPerSector - 1) / cd::kFramesPerSector;
            sectors_.resize(static_cast<size_t>(endSector - firstSector) * cd::kFramesPerSector * cd::kFrameBytes);
            if (!source_.read(static_cast<int32_t>(firstSector), static_cast<int32_t>(endSector - firstSector),
                              sectors_.data()))
                return false;
            std::memcpy(piece_.data() + (from - at - offset_) * cd::kFrameBytes,
                        sectors_.data() + (from - firstSector * cd::kFramesPerSector) * cd::kFrameBytes,
                        static_cast<size_t>(to - from) * cd::kFrameBytes);
        }
        sink(piece_.data(), count);
        at += static_cast<int64_t>(count);
    }
    return true;
}

}  // namespace rilvane::proof
