// What the sub-channel and the lead-in say about a disc, found before the
// audio is copied: the catalogue number and ISRCs as the drive reports them,
// the CD-Text, and at each track boundary where the pregap (INDEX 00)
// begins, found by a binary search on the Q frames of single sectors, the
// track's further index points and its pre-emphasis bit.
//
// A drive's sub-channel answers are often wrong in small ways: a Q frame
// with a bad CRC, the Q of a neighbouring sector, an ISRC of another track.
// So a Q frame counts only when its CRC is right, it names the sector that
// was asked for, and a second reading gives the same frame; a catalogue
// number or ISRC only when two answers agree and it has the right form; a
// kind of CD-Text only when every pack of it has the right CRC. What cannot
// be found that way is left out and the lines say so.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "drive/BlockReader.h"
#include "drive/QFrame.h"
#include "drive/SubchannelReader.h"
#include "proof/DiscFacts.h"
#include "proof/DiscToc.h"
#include "rescue/Json.h"
#include "rescue/StopToken.h"

namespace rilvane::rescue {

struct SubchannelFindings {
    proof::DiscFacts facts;
    std::vector<std::string> lines;  // what was found and how, for the log
    int qReads = 0;     // READ CD commands for Q
    int qBadCrc = 0;    // of them with a wrong CRC
    int qFailed = 0;    // of them refused
    int qDisagreed = 0; // sectors whose readings did not agree
    bool qUsable = false;
    bool hiddenTrackInQ = false;  // Q confirms audio before track 1's INDEX 01 as its INDEX 00
    int cdTextBadPacks = 0;

    // The findings as a JSON object.
    Json json() const;
};

class SubchannelScan {
public:
    SubchannelScan(BlockReader& reader, const proof::DiscToc& toc, const StopToken& stop);

    SubchannelFindings run();

private:
    // The Q frame of `sector` that two readings agree on, with a right CRC.
    std::optional<QFrame> agreed(int32_t sector);
    // The position (ADR 1) at `sector`: its own frame, or where it carries a
    // catalogue or ISRC frame instead, its neighbours' when they agree.
    std::optional<QFrame> position(int32_t sector);
    // Where the pregap of the track at `place` (in the TOC) begins; nullopt:
    // no pregap; -1: not known.
    std::optional<int32_t> pregapOf(size_t place);
    // INDEX 02 on of the track at `place`, before `limit`.
    std::vector<int32_t> indexesOf(size_t place, int32_t limit);

    SubchannelReader reader_;
    const proof::DiscToc& toc_;
    const StopToken& stop_;
    SubchannelFindings found_;
    std::map<int32_t, std::optional<QFrame>> agreed_;
};

}  // namespace rilvane::rescue
