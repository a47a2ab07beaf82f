// The German texts of a rescue's progress, shared by the log file the
// rescue writes and by whoever shows the rescue: the names of the passes,
// the progress line of a pass and the place on the disc of a read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rescue/RescueObserver.h"

namespace rilvane::rescue {

// "Kopieren", "Eingrenzen", "Wiederholen", "Prüfen".
const char* passName(PassId pass);
// "" for a pass, " (Bestätigen)", " (Runde 2)".
std::string roundLabel(Round round);

// "Durchgang 1, Kopieren:  40 %     8,0×  noch 0:12  3 fehlerhafte Lesevorgänge":
// `done` of `total` sectors in `seconds`, `failed` reads of the pass failed.
std::string passLine(PassId pass, const std::string& name, int64_t done, int64_t total, double seconds,
                     int64_t failed);
// The closing line of a pass: its progress line and the reads it made.
std::string passDoneLine(const std::string& progressLine, int64_t reads);

// "Track 03, 01:02.10 (Sektor 12345): " (or "Sektor 12345: " without tracks).
std::string placeText(const std::vector<int32_t>& trackStarts, int32_t sector);

// "3:12" or "1:02:03": a duration in seconds for people.
std::string durationText(double seconds);

}  // namespace rilvane::rescue
