// Feeds arbitrary bytes to the table-of-contents parser as a drive's answer.
// The answer lies in a buffer of exactly the received size, so AddressSanitizer
// reports any read past it; the checks below hold for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drive/TocParser.h"

namespace {

constexpr int32_t kUntouched = 0x5A5A5A5A;

[[noreturn]] void fail() { std::abort(); }

int32_t bigEndianAt(const uint8_t* p)
{
    return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) |
                                (uint32_t{p[2]} << 8) | uint32_t{p[3]});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using rilvane::kTrackSlots;

    rilvane::TrackTable table;
    table.slots.fill(kUntouched);
    table.count = -99;

    const int32_t count = rilvane::parseToc(data, size, table);

    if (count != table.count)
        fail();
    if (count < 0 || count > kTrackSlots - 1)
        fail();
    if (table.slot(0) != kUntouched)
        fail();

    // Only complete descriptors of the header's announcement are taken.
    const size_t descriptorsPresent = size < 12 ? 0 : (size - 12) / 8 + 1;
    if (count > 0) {
        const int announcedTracks = int{data[3]} - int{data[2]} + 1;
        if (count > announcedTracks || static_cast<size_t>(count) + 1 > descriptorsPresent)
            fail();
    }

    // Slots 1..count + 1 (or none) hold the descriptors in order, the rest
    // are untouched.
    int written = 0;
    if (size >= 4 && int{data[3]} - int{data[2]} + 1 >= 0 && descriptorsPresent > 0)
        written = count + 1;
    for (int s = 1; s <= kTrackSlots; ++s) {
        if (s <= written) {
            if (table.slot(s) != bigEndianAt(data + 8 + 8 * static_cast<size_t>(s - 1)))
                fail();
        } else if (table.slot(s) != kUntouched) {
            fail();
        }
    }

    // The descriptors with their numbers are exactly the ones the table took.
    const auto entries = rilvane::parseTocEntries(data, size);
    if (entries.size() != static_cast<size_t>(written))
        fail();
    for (size_t k = 0; k < entries.size(); ++k)
        if (entries[k].start != table.slot(static_cast<int>(k) + 1) || entries[k].number != data[4 + 8 * k + 2] ||
            entries[k].control > 0x0F)
            fail();
    return 0;
}
