// rilvane-rip: rescues a whole audio CD, scratched or not, into WAV files
// with the program's own drive code. See RipToolArguments::usage().
#include <iostream>
#include <string>
#include <vector>

#include "DiscRescue.h"
#include "LogCheck.h"
#include "RescueConsole.h"
#include "RipToolArguments.h"
#include "platform/Console.h"

int main(int argc, char** argv)
{
    using namespace rilvane::riptool;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto parsed = RipToolArguments::parse(args, error);
    if (!parsed) {
        std::cerr << "rilvane-rip: " << error << "\n\n" << RipToolArguments::usage();
        return ExitCode::kUsage;
    }
    if (parsed->action == RipToolArguments::Action::Help) {
        std::cout << RipToolArguments::usage();
        return ExitCode::kAllRead;
    }
    if (parsed->action == RipToolArguments::Action::CheckLog) return checkLog(parsed->checkLog, std::cout, std::cerr);
    if (parsed->action == RipToolArguments::Action::Version) {
        std::cout << "rilvane-rip " << RILVANE_VERSION << "\n";
        return ExitCode::kAllRead;
    }
    rilvane::platform::catchStopSignals();
    RescueConsole console(std::cerr, rilvane::platform::isTerminal(rilvane::platform::ConsoleStream::Error));
    DiscRescue rescue(*parsed, console, std::cout);
    return rescue.run();
}
