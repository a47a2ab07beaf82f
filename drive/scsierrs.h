// The sense tables: the names of the 16 sense keys and the 310 additional
// sense descriptions.
//
// Each additional sense entry starts with an 8-character key made of plain
// characters: a backslash, the ASC as three octal digits, a backslash, the
// ASCQ as three octal digits ("\072\000" for ASC 0x3A, ASCQ 0x00). The
// lower-case description follows directly. Entries are in ascending order of
// ASC and ASCQ; 40/00 has two entries.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace rilvane::scsierrs {

inline constexpr std::size_t kSenseKeyCount = 16;
inline constexpr std::size_t kAdditionalSenseCount = 310;
inline constexpr std::size_t kAdditionalSenseKeyLength = 8;

// Indexed by the sense key value 0 to 15.
extern const std::array<std::string_view, kSenseKeyCount> senseKeyNames;

// Key followed by description, in table order.
extern const std::array<std::string_view, kAdditionalSenseCount> additionalSense;

}  // namespace rilvane::scsierrs
