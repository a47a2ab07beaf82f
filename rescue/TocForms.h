// The table of contents in the forms a rescue meets: the drive's answer
// and track table (drive/), the map's DiscLayout (track starts, lead-out,
// data tracks) and the proof's DiscToc (numbers, control fields). Every
// conversion between them is here.
#pragma once

#include <optional>

#include "drive/TocExchange.h"
#include "drive/TrackTable.h"
#include "proof/DiscToc.h"
#include "rescue/RescueMap.h"

namespace rilvane::rescue {

// The disc's TOC as the drive gave it; empty when the answer does not
// describe a disc (no descriptors, numbers out of order).
std::optional<proof::DiscToc> discTocFromAnswer(const TocResult& result);

// The track starts and data tracks of `table`, up to `leadOut`.
DiscLayout layoutFromTable(const TrackTable& table, int32_t leadOut);

// The TOC for the proof: the drive's descriptors where they describe the
// same tracks as `layout`, otherwise the layout with its data tracks.
proof::DiscToc discTocOf(const TocResult& toc, const DiscLayout& layout);

}  // namespace rilvane::rescue
