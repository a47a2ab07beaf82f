#include "rescue/TocForms.h"

namespace rilvane::rescue {

namespace {

// The track number READ TOC gives the lead-out's descriptor.
constexpr int kLeadOutNumber = 0xAA;

}  // namespace

std::optional<proof::DiscToc> discTocFromAnswer(const TocResult& result)
{
    proof::DiscToc toc;
    for (const TocEntry& e : result.entries) {
        if (e.number == kLeadOutNumber) {
            toc.leadOut = e.start;
            break;
        }
        toc.tracks.push_back({e.number, e.start, e.control});
    }
    if (toc.leadOut == 0 && result.leadOut) toc.leadOut = *result.leadOut;
    if (!toc.valid()) return std::nullopt;
    return toc;
}

DiscLayout layoutFromTable(const TrackTable& table, int32_t leadOut)
{
    DiscLayout layout;
    for (int t = 1; t <= table.count && t < kTrackSlots; ++t) {
        layout.trackStarts.push_back(table.slot(t));
        // Data tracks are known from the table of contents' control fields.
        layout.dataTrack.push_back(table.isData(t));
    }
    layout.leadOut = leadOut;
    return layout;
}

proof::DiscToc discTocOf(const TocResult& toc, const DiscLayout& layout)
{
    // A short answer may end with a track's descriptor, not the lead-out's:
    // the descriptors count only where they describe the same tracks.
    if (auto fromDrive = discTocFromAnswer(toc)) {
        bool same = fromDrive->tracks.size() == layout.trackStarts.size() && fromDrive->leadOut == layout.leadOut;
        for (size_t t = 0; same && t < layout.trackStarts.size(); ++t)
            same = fromDrive->tracks[t].start == layout.trackStarts[t];
        if (same) return *fromDrive;
    }
    proof::DiscToc made;
    for (size_t t = 0; t < layout.trackStarts.size(); ++t) {
        const bool data = t < layout.dataTrack.size() && layout.dataTrack[t];
        made.tracks.push_back({static_cast<int>(t) + 1, layout.trackStarts[t],
                               data ? proof::TrackControl::kDataTrack : uint8_t{0}});
    }
    made.leadOut = layout.leadOut;
    return made;
}

}  // namespace rilvane::rescue
