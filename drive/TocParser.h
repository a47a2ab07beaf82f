// Turns a READ TOC answer (format 0, addresses as sector numbers) into the
// track table, filling slots by position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drive/TrackTable.h"

namespace rilvane {

// Parses the first `received` bytes of a READ TOC response into `table`:
// slot 1.. get the descriptors' start addresses in the order listed, the
// count becomes the number of tracks and slot count + 1 the lead-out.
// Never reads past `received` bytes and never writes past slot 256, however
// the answer is formed. Returns the new count.
int32_t parseToc(const uint8_t* response, size_t received, TrackTable& table);

}  // namespace rilvane
