#include "proof/DiscToc.h"

namespace rilvane::proof {

int32_t DiscToc::trackEnd(size_t index) const
{
    return index + 1 < tracks.size() ? tracks[index + 1].start : leadOut;
}

bool DiscToc::valid() const
{
    if (tracks.empty() || tracks.size() > 99) return false;
    int32_t before = -1;
    int numberBefore = 0;
    for (const TocTrack& t : tracks) {
        if (t.number < 1 || t.number > 99 || t.number <= numberBefore || t.start <= before) return false;
        before = t.start;
        numberBefore = t.number;
    }
    return tracks.front().start >= 0 && leadOut > before;
}

std::vector<TocTrack> DiscToc::audioTracks() const
{
    std::vector<TocTrack> audio;
    for (const TocTrack& t : tracks)
        if (t.audio()) audio.push_back(t);
    return audio;
}

}  // namespace rilvane::proof
