// Feeds arbitrary text to the CUE sheet parser, then lays out whatever it
// accepts on files of a few different lengths.
#include "vdrive/CueSheet.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace rilvane::vdrive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto sheet = CueSheet::parse(text, "fuzz.cue", error);
    if (!sheet) {
        if (error.rfind("fuzz.cue:", 0) != 0)
            std::abort();  // every message names the sheet and a line
        return 0;
    }
    if (sheet->tracks().empty() || sheet->tracks().size() > static_cast<size_t>(kMaxTracks))
        std::abort();
    for (int64_t base : {int64_t{0}, int64_t{1}, int64_t{4500}, kMaxDiscSectors / 2}) {
        CueSheet copy = *sheet;
        std::vector<int64_t> sizes;
        for (size_t f = 0; f < copy.files().size(); ++f)
            sizes.push_back(base + static_cast<int64_t>(f) * 77);
        if (!copy.layout(sizes, error))
            continue;
        // The segments cover the disc without gaps, and every track starts on it.
        int64_t next = 0;
        for (const DiscSegment& segment : copy.segments()) {
            if (segment.firstSector != next || segment.count <= 0)
                std::abort();
            next += segment.count;
        }
        if (next != copy.leadOut() || copy.leadOut() > kMaxDiscSectors)
            std::abort();
        for (const CueTrack& track : copy.tracks())
            if (track.start < 0 || track.start >= copy.leadOut() || copy.trackOf(track.start).number != track.number)
                std::abort();
    }
    return 0;
}
