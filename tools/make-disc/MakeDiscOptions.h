// The command line of rilvane-make-disc.
#pragma once

#include "DiscSpec.h"

#include <string>
#include <vector>

namespace rilvane::makedisc {

enum class ParseResult { Run, Help, Error };

// Reads the arguments (without the program name) into spec.
ParseResult parseArguments(const std::vector<std::string>& args, DiscSpec& spec, std::string& error);

std::string usageText();

}  // namespace rilvane::makedisc
