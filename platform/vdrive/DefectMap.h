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
//   c2 yes | no                  whether the drive reports C2 error pointers
//                                (yes by default)
//   cache N                      the drive answers a re-read of any of the
//                                last N sectors it read without an error
//                                from its cache (0, the default: no cache)
//
// Reads of flaky and corrupt sectors are counted per sector for as long as
// the drive exists.
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

inline constexpr uint32_t kMaxCacheSectors = 100'000;

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
    bool reportsC2() const { return reportsC2_; }
    uint32_t cacheSectors() const { return cacheSectors_; }

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
    bool reportsC2_ = true;
    uint32_t cacheSectors_ = 0;
};

}  // namespace rilvane::vdrive
