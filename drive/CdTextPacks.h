// The CD-Text of a disc from the packs READ TOC format 5 returns: titles and
// performers of the disc and of each track, from the first block (single-byte
// text, ISO 8859-1, given back as UTF-8). Every pack's CRC is checked; a kind
// of text with one bad pack is left out whole, since its strings could no
// longer be told apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace rilvane {

struct CdTextPacks {
    static constexpr size_t kPackBytes = 18;

    std::string title;      // the disc's
    std::string performer;
    std::map<int, std::string> trackTitles;  // by track number
    std::map<int, std::string> trackPerformers;
    int packs = 0;     // packs in the answer
    int badPacks = 0;  // of them with a wrong CRC

    bool empty() const { return title.empty() && performer.empty() && trackTitles.empty() && trackPerformers.empty(); }

    // The answer of READ TOC format 5 (its four-byte header included),
    // `received` bytes of it.
    static CdTextPacks parse(const uint8_t* answer, size_t received);
};

}  // namespace rilvane
