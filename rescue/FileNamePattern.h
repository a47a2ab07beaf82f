// The --name pattern of rilvane-rip: a file name with one place for the
// track number, written like printf's %d, %2d or %02d. The user's text is
// never handed to printf: it is checked and filled in here.
#pragma once

#include <optional>
#include <string>

namespace rilvane::rescue {

class FileNamePattern {
public:
    // Accepts exactly one %d (optionally with a width of 1 to 9 digits,
    // zero-padded when the width starts with 0) and %% for a percent sign;
    // no other % directive, no '/', no control characters. On refusal
    // `error` says why (German).
    static std::optional<FileNamePattern> parse(const std::string& text, std::string& error);

    // The file name for track number `track`.
    std::string fileName(int track) const;

private:
    std::string before_;
    std::string after_;
    int width_ = 0;
    bool zeroPad_ = false;
};

}  // namespace rilvane::rescue
