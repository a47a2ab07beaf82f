// What a rescue knows about every sector of the disc, kept in a text file
// beside the working copy so that a rescue can stop and go on later, on
// this drive or another one holding the same disc.
//
// The file, one item a line, '#' starts a comment:
//
//   rilvane-rescue-map 1
//   toc 0 1003 3003 4008        the start of every track, then the lead-out
//   data 2                      track 2 is a data track (one line each)
//   0-199 good                  FIRST-LAST STATE [TRIES [C2BITS]]
//   200 failed 11
//   201-4007 verified
//
// States:
//   untried    not read yet
//   narrow     in a read of several sectors that failed, or skipped after
//              failures: to be read sector by sector
//   failed     read alone TRIES times, never with success
//   suspect    read, but not trustworthy: C2 error pointers were set
//              (C2BITS of them in the best reading) or two readings did not
//              agree; the working copy holds the best reading
//   good       read without an error (and with clear C2 pointers where the
//              drive reports them)
//   verified   good, and a second reading with the drive's cache defeated
//              in between gave the same bytes
//   data       a sector of a data track: not read
//
// Every sector of the disc, from 0 to the lead-out, is in exactly one line.
// Whatever the file says is good, verified or suspect is in the working
// copy; the file is replaced as a whole (written beside, flushed, renamed),
// so a crash leaves either the old or the new one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace rilvane::rescue {

enum class SectorState : uint8_t { Untried, Narrow, Failed, Suspect, Good, Verified, Data };

// A set of sector states, for the map's queries.
class StateSet {
public:
    constexpr StateSet(std::initializer_list<SectorState> states)
    {
        for (const SectorState s : states) bits_ |= bit(s);
    }
    constexpr bool has(SectorState s) const { return (bits_ & bit(s)) != 0; }

private:
    static constexpr uint8_t bit(SectorState s) { return static_cast<uint8_t>(1u << static_cast<unsigned>(s)); }
    uint8_t bits_ = 0;
};

// Sectors [first, end); empty when first >= end.
struct SectorRun {
    int32_t first = 0;
    int32_t end = 0;
    bool empty() const { return first >= end; }
};

// C2BITS of a suspect sector whose readings disagreed (no pointers known).
inline constexpr uint16_t kUnknownC2 = 0xFFFF;

struct DiscLayout {
    std::vector<int32_t> trackStarts;  // first track first
    int32_t leadOut = 0;
    std::vector<bool> dataTrack;       // one per track

    friend bool operator==(const DiscLayout& a, const DiscLayout& b)
    {
        return a.trackStarts == b.trackStarts && a.leadOut == b.leadOut;
    }
    // The first sector after track `index` (from 0): the next track's
    // start, or the lead-out.
    int32_t trackEnd(size_t index) const
    {
        return index + 1 < trackStarts.size() ? trackStarts[index + 1] : leadOut;
    }
    // "0 1003 3003 4008"
    std::string tocText() const;
};

// Threads: one thread changes the map (the one running the rescue); it
// may read every accessor without a lock. Any other thread (a window
// drawing the disc) reads only through snapshot(), which copies the states
// under the map's lock; set() and setTries() take the same lock.
class RescueMap {
public:
    explicit RescueMap(DiscLayout layout);

    const DiscLayout& layout() const { return layout_; }
    int32_t sectors() const { return layout_.leadOut; }

    SectorState state(int32_t s) const { return states_[static_cast<size_t>(s)]; }
    uint16_t tries(int32_t s) const { return tries_[static_cast<size_t>(s)]; }
    uint16_t c2Bits(int32_t s) const { return c2Bits_[static_cast<size_t>(s)]; }
    void set(int32_t s, SectorState state, uint16_t tries = 0, uint16_t c2Bits = 0);
    void setTries(int32_t s, uint16_t tries);

    // The state of every sector, copied; safe from any thread.
    std::vector<SectorState> snapshot() const;
    // The first run of consecutive sectors in [from, end) whose states are
    // all in `states` (as long as it goes, up to `end`); empty at `end`
    // when there is none.
    SectorRun nextRun(int32_t from, int32_t end, StateSet states) const;
    // How many sectors of [first, end) are in `states`.
    int64_t count(int32_t first, int32_t end, StateSet states) const;

    bool isGood(int32_t s) const { return state(s) == SectorState::Good || state(s) == SectorState::Verified; }
    // The working copy holds a reading of the sector.
    bool hasReading(int32_t s) const { return isGood(s) || state(s) == SectorState::Suspect; }

    // What the working copy holds, checked before it is trusted: the
    // CRC32 of the readings in every stretch of kSumSectors sectors (the
    // 2352 bytes of each sector with a reading, in order), for stretches
    // with a reading. A stretch is marked changed whenever one of its
    // sectors gains or loses its reading; its sum is then unknown until
    // setSum().
    static constexpr int32_t kSumSectors = 1000;
    int32_t sumStretches() const { return static_cast<int32_t>(sums_.size()); }
    std::optional<uint32_t> sum(int32_t stretch) const;
    void setSum(int32_t stretch, uint32_t sum);
    bool sumChanged(int32_t stretch) const { return sumChanged_[static_cast<size_t>(stretch)]; }
    // Every sector of the stretch back to untried (what the copy holds of
    // it is not what the map says); the number of readings dropped.
    int32_t dropReadings(int32_t first, int32_t end);

    // The number of runs that have worked on the rescue, this one included
    // once it has begun (the log has a part for each).
    int runs() const { return runs_; }
    void setRuns(int runs) { runs_ = runs; }

    // The drive the last run read with, as the drive list names it (empty
    // in a map from before it was kept).
    const std::string& drive() const { return drive_; }
    void setDrive(const std::string& drive) { drive_ = driveName(drive); }
    // A drive's name as the map keeps it: one space between words, no '#'.
    static std::string driveName(const std::string& drive);

    // Makes the table of contents' word on which tracks hold data the
    // map's: an audio track the map called data is read from now on, a
    // data track is not read. The number of tracks changed.
    int takeDataTracks(const std::vector<bool>& dataTrack);

    std::string text() const;
    // Reads a map file's text; empty with `error` set when it is not one.
    static std::optional<RescueMap> parse(const std::string& text, std::string& error);

    // Writes the map as `path` through a file beside it: written, flushed to
    // the disk, renamed over the old one, and the folder flushed. False
    // with `error` (the system's reason) when any step failed.
    bool save(const std::string& path, std::string& error) const;
    // Reads the map file at `path` (a regular file, never through a link);
    // empty with `error` saying what is wrong ("ist ein Ordner, keine
    // Datei", "ist nicht lesbar: Zeile 3: ...").
    static std::optional<RescueMap> load(const std::string& path, std::string& error);

private:
    DiscLayout layout_;
    std::vector<SectorState> states_;
    std::vector<uint16_t> tries_;
    std::vector<uint16_t> c2Bits_;
    std::vector<uint32_t> sums_;
    std::vector<bool> sumKnown_;
    std::vector<bool> sumChanged_;
    int runs_ = 0;
    std::string drive_;
    std::unique_ptr<std::mutex> mutex_ = std::make_unique<std::mutex>();
};

const char* stateName(SectorState state);

}  // namespace rilvane::rescue
