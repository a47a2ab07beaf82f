// Writes a test disc: a CUE sheet, its BIN file(s) and, when asked for, a
// defect map. The output depends on the plan alone.
#pragma once

#include "DiscPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rilvane::makedisc {

struct GeneratedDisc {
    std::string cuePath;
    std::vector<std::string> binPaths;
    std::string defectsPath;            // empty when no map was written
    std::vector<int64_t> trackStarts;   // disc address of each track's INDEX 01
    int64_t leadOut = 0;
};

// Checks a plan (counts, lengths, track numbers, defect lines). On a problem
// returns false with a message.
bool validatePlan(const DiscPlan& plan, std::string& error);

// Validates the plan and writes the files (creating the folder if needed).
bool writeDisc(const DiscPlan& plan, GeneratedDisc& disc, std::string& error);

}  // namespace rilvane::makedisc
