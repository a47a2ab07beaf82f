// The command line of rilvane-rescue.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rilvane::rescuewin {

struct RescueArguments {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    std::optional<int> drive;  // index into the drive list
    std::string outDir;        // empty: none chosen yet
    std::string folder;        // a rescue folder to open
    bool start = false;

    // Reads the arguments without the program name; Qt's own options
    // (-platform, -style, ...) are passed over. Empty with `error` (German)
    // when they make no sense.
    static std::optional<RescueArguments> parse(const std::vector<std::string>& args, std::string& error);
    static const char* usage();
};

}  // namespace rilvane::rescuewin
