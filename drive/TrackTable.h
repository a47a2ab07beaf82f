// The start sector of every track and the lead-out, from the table of contents.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "drive/CdAudio.h"

// Qt defines "slots" as a macro; keep it away from the member of that name.
#pragma push_macro("slots")
#undef slots

namespace rilvane {

constexpr int kTrackSlots = 256;

struct TrackTable {
    // slots[1] .. slots[256]; slots[0] is never used. Slot count + 1 holds
    // the start of the lead-out.
    std::array<int32_t, kTrackSlots + 1> slots{};
    int32_t count = 0;
    // dataTrack[i]: the track in slot i is a data track (control bit 2 of its
    // TOC descriptor). Its sectors are never audio: not played, not saved.
    std::array<bool, kTrackSlots + 1> dataTrack{};

    int32_t& slot(int i) { return slots[static_cast<size_t>(i)]; }
    int32_t slot(int i) const { return slots[static_cast<size_t>(i)]; }

    // The start-up preset: one track from sector 500 to sector 450000.
    void presetStartup()
    {
        slots[1] = cd::kDefaultFirstTrack;
        slots[2] = cd::kDefaultLeadOut;
        count = 1;
        dataTrack.fill(false);
    }

    bool isData(int i) const { return i >= 1 && i <= kTrackSlots && dataTrack[static_cast<size_t>(i)]; }
};

}  // namespace rilvane

#pragma pop_macro("slots")
