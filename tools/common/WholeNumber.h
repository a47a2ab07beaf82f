// Reading a number from the command line: a whole decimal number within
// [low, high] and nothing else (no sign games, no trailing text).
#pragma once

#include <charconv>
#include <optional>
#include <string>

namespace rilvane::tools {

template <typename T>
std::optional<T> wholeNumber(const std::string& text, T low, T high)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace rilvane::tools
