// Timing a rip against copying the same bytes, with every side measured the
// same way: before each clock the outputs are removed, dirty data is written
// out, the page cache is emptied where allowed and the disc image is read
// once, so every side starts from the same warm image and a quiet disk. Each
// clock ends only once the side's output is on the disk (the rip syncs its
// file itself; a copy is followed by a sync of the copied file). The rounds
// rotate which side goes first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rilvane::bench {

// Writes a disc of one clean track of `sectors` sectors under `stem` (the
// CUE sheet and its BIN) and makes it the only drive, as virtual drive
// `target` ("D", "E", ...), for this process and what it starts. Returns the
// BIN's path; empty when the disc could not be written (the reason printed).
std::string makeOneTrackDrive(const std::string& stem, int64_t sectors, const std::string& target);

// Runs a program and waits for it; stdout goes to /dev/null, stderr too
// unless `keepStderr`. True when it exited with status 0.
bool runProgram(const std::vector<std::string>& argv, bool keepStderr = true);

// Hands the file's data to the disk (what `sync FILE` does).
bool syncFile(const std::string& path);

// Removes `outputs`, writes out dirty data, empties the page cache where
// allowed, and reads `image` once.
void settle(const std::string& image, const std::vector<std::string>& outputs);

// One copy through cp: `cp FROM TO`, then TO synced.
bool copyWithCp(const std::string& from, const std::string& to);
// One copy through user space in `blockBytes` pieces: `dd bs=N`, then synced.
bool copyWithDd(const std::string& from, const std::string& to, long blockBytes);

struct Spread {
    double median = 0, low = 0, high = 0;
};
Spread spread(std::vector<double> values);

class CopyRuns {
public:
    // `run` does the side's work; the clock covers exactly that call.
    void addSide(std::string name, std::function<bool()> run);
    // `rounds` rounds, each timing every side once after settle(image,
    // outputs). Prints each round; false as soon as a side fails.
    bool run(int rounds, const std::string& image, const std::vector<std::string>& outputs);
    // Median and range of each side, then of `side / reference` per round
    // for every reference side.
    void print(const std::string& side, const std::vector<std::string>& references) const;

private:
    struct Side {
        std::string name;
        std::function<bool()> run;
        std::vector<double> seconds;
    };
    const Side* find(const std::string& name) const;
    std::vector<Side> sides_;
};

}  // namespace rilvane::bench
