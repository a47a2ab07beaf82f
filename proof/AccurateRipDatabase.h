// The AccurateRip database's file for one disc (dBAR-nnn-aaaaaaaa-bbbbbbbb-
// ffffffff.bin), fetched on any machine with a network from the address the
// log gives: one or more submissions (pressings and their drive offsets),
// each a 13-byte header (track count, id1, id2, FreeDB id, little-endian)
// and per track 9 bytes (how many rips agreed, the track's checksum, the
// checksum of its 450th sector, which is not used here). A submission's
// checksum is a v1 or a v2 sum.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "proof/DiscIds.h"
#include "proof/TrackChecksums.h"

namespace rilvane::proof {

struct AccurateRipSubmission {
    int tracks = 0;
    uint32_t id1 = 0;
    uint32_t id2 = 0;
    uint32_t freedbId = 0;
    std::vector<std::pair<int, uint32_t>> entries;  // confidence and checksum per track
};

struct AccurateRipMatch {
    enum class Result { Match, NoMatch, NotListed };
    Result result = Result::NotListed;
    int confidence = 0;    // the agreeing rips of the best submission that matches
    bool version2 = false; // matched with the v2 sum
};

class AccurateRipDatabase {
public:
    // Empty when `bytes` are not such a file; `error` then says why (German).
    static std::optional<AccurateRipDatabase> parse(const std::vector<uint8_t>& bytes, std::string& error);

    // Whether the file is the one of the disc with these ids.
    bool isFor(const DiscIds& ids) const;

    // The sums of the `place`-th audio track (1-based) against every submission.
    AccurateRipMatch match(int place, const Checksums& sums) const;

    const std::vector<AccurateRipSubmission>& submissions() const { return submissions_; }

private:
    std::vector<AccurateRipSubmission> submissions_;
};

}  // namespace rilvane::proof
