// The --name pattern of rilvane-rip: a file name with one place for the
// track number, written like printf's %d, %2d or %02d, and where wanted the
// track's title (%t) and performer (%a) from the disc's CD-Text. The user's
// text is never handed to printf: it is checked and filled in here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rilvane::rescue {

class FileNamePattern {
public:
    // Accepts exactly one %d (optionally with a width of 1 to 9 digits,
    // zero-padded when the width starts with 0), %t and %a any number of
    // times, and %% for a percent sign; no other % directive, no '/', no
    // control characters. On refusal `error` says why (German).
    static std::optional<FileNamePattern> parse(const std::string& text, std::string& error);

    // The file name for track number `track` with its title and performer.
    // A '/' or control character in them becomes '-' or is left out, a
    // leading dot is dropped, and each is cut to 100 bytes; a track without
    // a title gets "Track" and its number, one without performer "".
    std::string fileName(int track, const std::string& title = {}, const std::string& performer = {}) const;

    // Whether the pattern uses the title or the performer.
    bool usesText() const { return usesText_; }

private:
    enum class Kind { Text, Number, Title, Performer };
    struct Piece {
        Kind kind;
        std::string text;
    };
    std::string number(int track) const;

    std::vector<Piece> pieces_;
    int width_ = 0;
    bool zeroPad_ = false;
    bool usesText_ = false;
};

}  // namespace rilvane::rescue
