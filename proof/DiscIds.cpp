#include "proof/DiscIds.h"

#include <discid/discid.h>

#include <cstdio>
#include <memory>

#include "drive/CdAudio.h"

namespace rilvane::proof {

namespace {

// Sector 0 lies two seconds after the start of the disc.
constexpr int32_t kLeadInSectors = 150;

int digitSum(int32_t n)
{
    int sum = 0;
    for (; n > 0; n /= 10) sum += n % 10;
    return sum;
}

struct DiscIdDeleter {
    void operator()(DiscId* d) const { discid_free(d); }
};

void addMusicBrainz(const DiscToc& toc, DiscIds& ids)
{
    size_t count = toc.tracks.size();
    int32_t leadOut = toc.leadOut;
    if (count > 1 && !toc.tracks.back().audio()) {
        --count;
        leadOut = toc.tracks.back().start - kSessionGapSectors;
    }
    // libdiscid takes the lead-out first, then the tracks by number, all
    // counted from the start of the disc.
    int offsets[100] = {};
    offsets[0] = leadOut + kLeadInSectors;
    const int first = toc.tracks.front().number;
    const int last = toc.tracks[count - 1].number;
    if (last - first + 1 != static_cast<int>(count)) return;  // numbers with gaps: no MusicBrainz id
    for (size_t i = 0; i < count; ++i) offsets[first + static_cast<int>(i)] = toc.tracks[i].start + kLeadInSectors;

    const std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
    if (!disc || !discid_put(disc.get(), first, last, offsets)) return;
    ids.musicBrainzId = discid_get_id(disc.get());
    ids.musicBrainzUrl = discid_get_submission_url(disc.get());
}

}  // namespace

std::string hex8(uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string DiscIds::accurateRipName() const
{
    char text[40];
    std::snprintf(text, sizeof text, "%03d-%08x-%08x-%08x", audioTracks, accurateRipId1, accurateRipId2, freedbId);
    return text;
}

std::string DiscIds::accurateRipUrl() const
{
    char folders[16];
    std::snprintf(folders, sizeof folders, "%x/%x/%x/", accurateRipId1 & 0xF, (accurateRipId1 >> 4) & 0xF,
                  (accurateRipId1 >> 8) & 0xF);
    return std::string("http://www.accuraterip.com/accuraterip/") + folders + "dBAR-" + accurateRipName() + ".bin";
}

DiscIds DiscIds::of(const DiscToc& toc)
{
    DiscIds ids;
    uint32_t place = 0;
    for (const TocTrack& t : toc.tracks) {
        if (!t.audio()) continue;
        ++place;
        ids.accurateRipId1 += static_cast<uint32_t>(t.start);
        ids.accurateRipId2 += static_cast<uint32_t>(t.start > 0 ? t.start : 1) * place;
    }
    ids.audioTracks = static_cast<int>(place);
    ids.accurateRipId1 += static_cast<uint32_t>(toc.leadOut);
    ids.accurateRipId2 += static_cast<uint32_t>(toc.leadOut > 0 ? toc.leadOut : 1) * (place + 1);

    uint32_t sums = 0;
    for (const TocTrack& t : toc.tracks) sums += static_cast<uint32_t>(digitSum((t.start + kLeadInSectors) / cd::kSectorsPerSecond));
    const uint32_t seconds = static_cast<uint32_t>((toc.leadOut + kLeadInSectors) / cd::kSectorsPerSecond -
                                                   (toc.tracks.front().start + kLeadInSectors) / cd::kSectorsPerSecond);
    ids.freedbId = (sums % 255) << 24 | (seconds & 0xFFFF) << 8 | static_cast<uint32_t>(toc.tracks.size() & 0xFF);

    addMusicBrainz(toc, ids);
    return ids;
}

}  // namespace rilvane::proof
