#include "drive/TocParser.h"

#include <algorithm>

namespace rilvane {

// A format-0 READ TOC answer is a 4-byte header (data length, first and last
// track number) followed by 8-byte descriptors, one per track and one for the
// lead-out; each descriptor ends with its start address, big-endian. The
// descriptors are taken by position: track numbers are not looked at, so the
// first track listed lands in slot 1 whatever its number. The control field
// (low nibble of byte 1) marks data tracks (bit 2) in table.dataTrack.
//
// A well-formed answer for a disc with tracks first..last has
// last - first + 2 descriptors, and the table then holds count =
// last - first + 1 tracks with the lead-out in slot count + 1.
//
// Answers that no readable disc gives are handled like this:
// - fewer than 4 bytes, or last < first - 1: no tracks. The count is 0 and no
//   slot is written, so slot 1 keeps what the caller put there.
// - fewer bytes than the descriptors announced: only descriptors whose
//   address lies completely within the received bytes are taken. The last of
//   them marks the end of the track before it, so the count covers exactly
//   the tracks whose start and end are both known. When not even one
//   descriptor arrived the count is 0 and no slot is written.
// - more descriptors than slots (first and last span more than 255 tracks):
//   slots 1 to 256 are filled and the count is 255; slot 256 then acts as the
//   lead-out.
// Slots above count + 1 are never touched, and the count is always 0..255.
namespace {

// How many descriptors parseToc takes from an answer (see above).
size_t descriptorsTaken(const uint8_t* response, size_t received)
{
    constexpr size_t kHeaderSize = 4;
    constexpr size_t kFirstDescriptorEnd = kHeaderSize + 8;
    if (response == nullptr || received < kHeaderSize) return 0;
    const int tracks = response[3] - response[2] + 1;
    if (tracks < 0) return 0;
    const size_t announced = static_cast<size_t>(tracks) + 1;
    const size_t present = received < kFirstDescriptorEnd ? 0 : (received - kFirstDescriptorEnd) / 8 + 1;
    return std::min({announced, present, static_cast<size_t>(kTrackSlots)});
}

}  // namespace

std::vector<TocEntry> parseTocEntries(const uint8_t* response, size_t received)
{
    std::vector<TocEntry> entries;
    const size_t taken = descriptorsTaken(response, received);
    for (size_t k = 0; k < taken; ++k) {
        const uint8_t* d = response + 4 + 8 * k;
        TocEntry e;
        e.number = d[2];
        e.control = d[1] & 0x0F;
        e.start = static_cast<int32_t>(uint32_t{d[4]} << 24 | uint32_t{d[5]} << 16 | uint32_t{d[6]} << 8 | d[7]);
        entries.push_back(e);
    }
    return entries;
}

int32_t parseToc(const uint8_t* response, size_t received, TrackTable& table)
{
    constexpr size_t kHeaderSize = 4;
    constexpr size_t kDescriptorSize = 8;
    constexpr size_t kAddressOffset = 4;  // within a descriptor

    table.count = 0;
    table.dataTrack.fill(false);
    const size_t taken = descriptorsTaken(response, received);
    for (size_t k = 0; k < taken; ++k) {
        const uint8_t* a = response + kHeaderSize + k * kDescriptorSize + kAddressOffset;
        const uint32_t address = (uint32_t{a[0]} << 24) | (uint32_t{a[1]} << 16) |
                                 (uint32_t{a[2]} << 8) | uint32_t{a[3]};
        table.slot(static_cast<int>(k) + 1) = static_cast<int32_t>(address);
        table.dataTrack[k + 1] = (a[-kAddressOffset + 1] & 0x04) != 0;
    }

    table.count = taken == 0 ? 0 : static_cast<int32_t>(taken) - 1;
    return table.count;
}

}  // namespace rilvane
