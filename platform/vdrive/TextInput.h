// Small helpers shared by the CUE sheet and defect map parsers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rilvane::vdrive {

// Largest text file (CUE sheet, defect map) that is read at all.
inline constexpr size_t kMaxTextFileBytes = 1 << 20;

// Reads a whole text file of at most kMaxTextFileBytes. On failure returns
// false and sets error to "PATH: what is wrong".
bool readTextFile(const std::string& path, std::string& text, std::string& error);

// Splits text into lines (LF or CRLF), dropping a leading UTF-8 byte order mark.
std::vector<std::string_view> splitLines(std::string_view text);

std::string_view trimBlanks(std::string_view s);

// Splits a line at blanks. A token that starts with a double quote runs to the
// next double quote (the quotes are not part of it). Returns nullopt for an
// unterminated quote.
std::optional<std::vector<std::string>> tokenize(std::string_view line);

// Parses a whole decimal number made of digits only, at most maxValue.
std::optional<int64_t> parseDecimal(std::string_view s, int64_t maxValue);

// Parses 1 or 2 hex digits.
std::optional<uint8_t> parseHexByte(std::string_view s);

// Case-insensitive comparison for ASCII keywords.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// "name:line: message"
std::string lineError(const std::string& name, size_t line, const std::string& message);

}  // namespace rilvane::vdrive
