// The command line of rilvane-kernel-drive.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rilvane::kerneldrive {

struct KernelDriveArguments {
    enum class Action { Serve, Eject, Insert, Remove, Help, Version };
    Action action = Action::Serve;
    std::string name = "rilvane0";  // the device's name in configfs
    std::string control;            // the control FIFO; empty: defaultControl()
    std::string cuePath;
    std::string defectsPath;
    std::string tracePath;          // every command and its answer, one line each; empty: none

    std::string controlPath() const;

    // Empty when the arguments make no sense.
    static std::optional<KernelDriveArguments> parse(const std::vector<std::string>& args);
    static const char* usage();
};

}  // namespace rilvane::kerneldrive
