// The command line of rilvane-probe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rilvane::probe {

struct ProbeArguments {
    enum class Action { List, Toc, Read, Help, Version };
    Action action = Action::List;
    int drive = 0;        // index into the drive table
    int32_t sector = 0;   // --read: first sector
    int64_t blocks = 0;   // --read: read blocks to read

    // Empty when the arguments make no sense.
    static std::optional<ProbeArguments> parse(const std::vector<std::string>& args);
    static const char* usage();
};

}  // namespace rilvane::probe
