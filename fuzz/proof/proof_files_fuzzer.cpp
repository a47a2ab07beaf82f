// Feeds arbitrary bytes to the readers of the files a user hands the rescue
// tool: as the AccurateRip database's file of a disc (parsed, checked
// against a disc, every track compared) and as a log whose seal is checked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "proof/AccurateRipDatabase.h"
#include "proof/RipLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace rilvane::proof;
    const std::vector<uint8_t> bytes(data, data + size);
    std::string error;
    const auto db = AccurateRipDatabase::parse(bytes, error);
    if (db) {
        size_t used = 0;
        for (const AccurateRipSubmission& s : db->submissions()) {
            if (s.tracks < 1 || s.entries.size() != static_cast<size_t>(s.tracks)) std::abort();
            used += 13 + 9 * s.entries.size();
        }
        if (used != size) std::abort();  // every byte belongs to a submission
        DiscIds ids;
        ids.audioTracks = db->submissions().front().tracks;
        db->isFor(ids);
        for (int place = 0; place <= 100; ++place) {
            const AccurateRipMatch m = db->match(place, {0x01020304, 0x05060708, 0, 0});
            if (m.result != AccurateRipMatch::Result::Match && m.confidence != 0) std::abort();
        }
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    const RipLog::Seal seal = RipLog::check(text);
    // A text sealed here always checks out; one byte appended never does.
    const std::string sealed = RipLog::seal(text);
    if (RipLog::check(sealed) != RipLog::Seal::Valid || RipLog::check(sealed + "x") != RipLog::Seal::Broken) std::abort();
    (void)seal;
    return 0;
}
