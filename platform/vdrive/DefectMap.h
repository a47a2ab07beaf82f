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
};

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

    // The first range (in the order of the map) that touches sectors
    // first .. first + count - 1, or nullptr.
    const DefectRange* find(int64_t first, int64_t count) const;

private:
    std::string productName_ = kDefaultProductName;
    std::optional<DefectAction> inquiry_;
    std::optional<DefectAction> toc_;
    std::vector<DefectRange> ranges_;
};

}  // namespace rilvane::vdrive
