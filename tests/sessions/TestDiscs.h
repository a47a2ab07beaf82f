// The discs the session tests run on, made once per test process before
// the platform reads RILVANE_VIRTUAL_DRIVES.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rilvane::test {

struct TestDiscs {
    std::string folder;
    // D: and aspi:0:1 - three tracks of 1003, 2000 and 1005 sectors, every
    // sector stamped with its number.
    std::string plainBin;
    std::vector<int32_t> plainStarts;  // 0, 1003, 3003
    int32_t plainLeadOut = 0;          // 4008
    // E: - one track of 3000 sectors with scratches (see TestDiscs.cpp).
    std::string scratchedBin;
    // F: - a disc whose table of contents cannot be read.
    // G: - a drive that has just been given its disc (no disc, becoming
    // ready, disc changed, one command each) and answers with
    // descriptor-format sense; 600 sectors, 100..109 fail.
    // H: and aspi:0:3 - one track of 300 sectors whose block at 100 arrives
    // short (GOOD with two sectors only).
    std::string shortBin;
    // I: and aspi:0:4 - a drive that keeps saying it is becoming ready.

    static const TestDiscs& get();
    // The bytes of `count` sectors from `first` on, read from a BIN file.
    static std::vector<uint8_t> sectors(const std::string& bin, int32_t first, int32_t count);
};

}  // namespace rilvane::test
