// The command line of rilvane-make-disc.
#pragma once

#include "DiscPlan.h"

#include <string>
#include <vector>

namespace rilvane::makedisc {

enum class ParseResult { Run, Help, Version, Error };

// Reads the arguments (without the program name) into plan.
ParseResult parseArguments(const std::vector<std::string>& args, DiscPlan& plan, std::string& error);

std::string usageText();

}  // namespace rilvane::makedisc
