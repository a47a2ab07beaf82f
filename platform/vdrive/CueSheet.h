// A CUE sheet: the files of a disc image and the tracks laid out on them.
//
// Parsing and layout are two steps. parse() reads the text alone (no file is
// touched) and records every track's indexes relative to the file they are in.
// layout() is then given the length of each file in sectors and places the
// tracks on the disc: sector 0 is the first sector of the first FILE, the files
// follow one another, PREGAP and POSTGAP insert silent sectors, a track starts
// at its INDEX 01 and the lead-out follows the last sector. Sound before track
// 1's first index belongs to track 1 as its INDEX 00: a hidden first track.
//
// What a disc says about itself is kept too: the catalogue number (CATALOG,
// 13 digits), each track's ISRC (12 characters, CCOOOYYNNNNN) and the CD-Text
// of the disc and of each track (TITLE, PERFORMER, SONGWRITER).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rilvane::vdrive {

inline constexpr int kMaxTracks = 99;
inline constexpr int kMaxCueFiles = 99;
// The largest disc accepted: about 222 minutes, far beyond any real CD, and
// small enough that every address fits a signed 32-bit field.
inline constexpr int64_t kMaxDiscSectors = 1'000'000;
inline constexpr int kSectorBytes = 2352;
inline constexpr int kFramesPerSecond = 75;

enum class CueFileType { Binary, Wave };
enum class TrackMode { Audio, Mode1 };

struct CueFile {
    std::string name;   // as written in the sheet
    CueFileType type = CueFileType::Binary;
    size_t line = 0;
    int64_t sectors = 0;      // set by layout()
    int64_t firstSector = 0;  // disc address of the file's first sector, set by layout()
};

struct CueIndex {
    int number = 0;
    size_t file = 0;          // index into files()
    int64_t fileSector = 0;   // position inside that file
    size_t line = 0;
    int64_t address = 0;      // disc address, set by layout()
};

// The CD-Text a disc or a track carries (each empty when not given).
struct CdTextFields {
    std::string title;
    std::string performer;
    std::string songwriter;

    bool empty() const { return title.empty() && performer.empty() && songwriter.empty(); }
};

// The longest CD-Text entry accepted, in bytes.
inline constexpr size_t kMaxCdTextLength = 160;

struct CueTrack {
    int number = 0;
    TrackMode mode = TrackMode::Audio;
    uint8_t flags = 0;        // control bits from FLAGS: 0x1 PRE, 0x2 DCP, 0x8 4CH
    size_t line = 0;
    int64_t pregapSectors = 0;   // PREGAP: silence inserted before the track
    int64_t postgapSectors = 0;  // POSTGAP: silence inserted after it
    std::vector<CueIndex> indexes;  // in ascending order of number
    std::string isrc;         // empty when not given
    CdTextFields text;
    // Set by layout():
    int64_t start = 0;        // disc address of INDEX 01
    int64_t regionStart = 0;  // first sector that belongs to the track (its pregap included)
};

// A run of consecutive disc sectors: taken from a file, or silent.
struct DiscSegment {
    int64_t firstSector = 0;
    int64_t count = 0;
    bool silent = false;
    size_t file = 0;          // when not silent
    int64_t fileSector = 0;   // first sector inside the file
};

class CueSheet {
public:
    // Parses the text of a sheet. name is used in messages ("name:line: ...").
    static std::optional<CueSheet> parse(std::string_view text, const std::string& name, std::string& error);

    // Places the tracks on the disc, given the length of every file in
    // sectors (one value per entry of files()). Checks that every index lies
    // inside its file and that the tracks follow one another.
    bool layout(const std::vector<int64_t>& fileSectors, std::string& error);

    const std::vector<CueFile>& files() const { return files_; }
    const std::vector<CueTrack>& tracks() const { return tracks_; }
    const std::vector<DiscSegment>& segments() const { return segments_; }
    int64_t leadOut() const { return leadOut_; }
    const std::string& name() const { return name_; }

    const std::string& catalog() const { return catalog_; }
    const CdTextFields& text() const { return text_; }
    // Whether the disc or any track carries CD-Text.
    bool hasCdText() const;

    // The track a disc sector belongs to (its pregap counts as part of it).
    const CueTrack& trackOf(int64_t sector) const;

    // The index a disc sector lies in: 0 in a track's pregap (and before
    // track 1's INDEX 01), else the highest index at or before it.
    int indexOf(const CueTrack& track, int64_t sector) const;

private:
    std::string name_;
    std::vector<CueFile> files_;
    std::vector<CueTrack> tracks_;
    std::vector<DiscSegment> segments_;
    int64_t leadOut_ = 0;
    size_t lastLine_ = 0;
    std::string catalog_;
    CdTextFields text_;
};

}  // namespace rilvane::vdrive
