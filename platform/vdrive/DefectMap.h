// A defect map: what makes a virtual disc scratched.
//
// One directive a line; blank lines and lines starting with '#' are skipped,
// and a '#' after a directive (except "name", whose text runs to the end of
// the line) starts a comment. Sense codes are hex K/AA/QQ, sectors decimal.
//
//   name TEXT                    INQUIRY product identification
//   inquiry K/AA/QQ | gone       INQUIRY fails
//   toc K/AA/QQ | gone           READ TOC fails
//   FIRST[-LAST] K/AA/QQ [MS]    reads touching these sectors fail (after MS ms)
//   FIRST[-LAST] gone            reads touching these sectors lose the drive
//   FIRST[-LAST] short BYTES     reads touching these sectors answer GOOD but
//                                bring only BYTES bytes (fewer than asked)
//   startup K/AA/QQ [COUNT]      the next COUNT commands (all when no COUNT)
//                                other than INQUIRY fail with this sense;
//                                several lines run one after the other, as a
//                                drive without a disc (02/3A/xx), becoming
//                                ready (02/04/01), after a change (06/28/00)
//   sense descriptor | fixed     the sense data format (fixed by default)
//   FIRST[-LAST] flaky N [K/AA/QQ [MS]]
//                                each of these sectors fails its first N
//                                reads (03/11/00 unless given, after MS ms),
//                                then reads correctly; a read touching one
//                                with failures left fails as a whole
//   FIRST[-LAST] corrupt N       the first N reads of each of these sectors
//                                answer GOOD with wrong samples, different
//                                each read; then correct
//   FIRST[-LAST] slow N          these sectors read correctly only at N× or
//                                slower; a faster read touching them fails
//                                (03/11/00)
//   c2 yes | no | 294 | 296 | lies
//                                whether the drive reports C2 error pointers
//                                (yes, the default: in both forms), only in
//                                the 294-byte or only in the 296-byte form
//                                (the other is refused, 05/24/00), or says
//                                it does and always reports them clean
//   cache N [fua]                the drive answers a re-read of any of the
//                                last N sectors it read without an error
//                                from its cache (0, the default: no cache),
//                                and reads ahead into it; with 'fua' a
//                                READ(12) with FUA set empties the cache
//   speed N                      the drive's top speed (1x = 75 sectors a
//                                second): every read from the disc takes
//                                its sectors' time at the current speed (a
//                                cache hit none), SET CD SPEED lowers it;
//                                without this line reads take no time
//
// Reads of flaky and corrupt sectors are counted per sector for as long as
// the drive exists; a corrupt sector's wrong readings differ from read to
// read and from one drive (and process) to the next.
#pragma once

#include "SenseCode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rilvane::vdrive {

inline constexpr uint32_t kMaxDefectDelayMs = 600'000;
inline constexpr const char* kDefaultProductName = "Virtual CD-ROM";

// A failure: either CHECK CONDITION with a sense code, or the drive is gone
// (the transport call itself fails).
struct DefectAction {
    bool gone = false;
    SenseCode sense;
    uint32_t delayMs = 0;
    // GOOD with only shortBytes bytes of data (reads only).
    bool shortTransfer = false;
    uint32_t shortBytes = 0;
};

// One step of the drive's state before it answers normally.
struct StartupAnswer {
    SenseCode sense;
    uint32_t count = 0;  // commands answered so; 0: every command from here on
};

// Sectors that fail their first `failures` reads, then read correctly.
struct FlakyRange {
    int64_t first = 0;
    int64_t last = 0;
    uint32_t failures = 0;
    SenseCode sense;
    uint32_t delayMs = 0;
};

// Sectors whose first `reads` reads bring wrong samples without an error.
struct CorruptRange {
    int64_t first = 0;
    int64_t last = 0;
    uint32_t reads = 0;
};

// Sectors that read correctly only at `maxSpeed` or slower.
struct SlowRange {
    int64_t first = 0;
    int64_t last = 0;
    uint32_t maxSpeed = 0;
};

// Which C2 error pointers the drive gives.
enum class C2Support : uint8_t { Both, None, Only294, Only296, Lies };

inline constexpr uint32_t kMaxCacheSectors = 100'000;
inline constexpr uint32_t kMaxSpeed = 100;
// The speed the drive names in its capabilities page without a 'speed' line.
inline constexpr uint32_t kDefaultTopSpeed = 40;

struct DefectRange {
    int64_t first = 0;
    int64_t last = 0;
    DefectAction action;
    size_t line = 0;
};

class DefectMap {
public:
    static std::optional<DefectMap> parse(std::string_view text, const std::string& name, std::string& error);
    static std::optional<DefectMap> load(const std::string& path, std::string& error);

    // The product identification, at most 16 characters.
    const std::string& productName() const { return productName_; }
    const std::optional<DefectAction>& inquiryFailure() const { return inquiry_; }
    const std::optional<DefectAction>& tocFailure() const { return toc_; }
    const std::vector<DefectRange>& ranges() const { return ranges_; }
    const std::vector<StartupAnswer>& startup() const { return startup_; }
    bool descriptorSense() const { return descriptorSense_; }
    const std::vector<FlakyRange>& flaky() const { return flaky_; }
    const std::vector<CorruptRange>& corrupt() const { return corrupt_; }
    const std::vector<SlowRange>& slow() const { return slow_; }
    C2Support c2() const { return c2_; }
    bool reportsC2() const { return c2_ != C2Support::None; }
    uint32_t cacheSectors() const { return cacheSectors_; }
    // READ(12) with FUA set empties the cache.
    bool cacheObeysFua() const { return cacheFua_; }
    // The top speed from the 'speed' line, 0 without one (reads untimed).
    uint32_t timedSpeed() const { return timedSpeed_; }

    // The first range (in the order of the map) that touches sectors
    // first .. first + count - 1, or nullptr.
    const DefectRange* find(int64_t first, int64_t count) const;

private:
    std::string productName_ = kDefaultProductName;
    std::optional<DefectAction> inquiry_;
    std::optional<DefectAction> toc_;
    std::vector<DefectRange> ranges_;
    std::vector<StartupAnswer> startup_;
    bool descriptorSense_ = false;
    std::vector<FlakyRange> flaky_;
    std::vector<CorruptRange> corrupt_;
    std::vector<SlowRange> slow_;
    C2Support c2_ = C2Support::Both;
    uint32_t cacheSectors_ = 0;
    bool cacheFua_ = false;
    uint32_t timedSpeed_ = 0;
};

}  // namespace rilvane::vdrive
