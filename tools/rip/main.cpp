// rilvane-rip: rescues a whole audio CD, scratched or not, into WAV files
// with the program's own drive code. See RipToolArguments::usage().
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "DiscRescue.h"
#include "RescueConsole.h"
#include "RipToolArguments.h"
#include "platform/Console.h"
#include "proof/RipLog.h"

namespace {

// --check-log: 0 when the log is as written, 1 when it was changed or has
// no seal, 2 when it cannot be read.
int checkLog(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) {
        std::cerr << "rilvane-rip: Konnte " << path << " nicht lesen\n";
        return rilvane::riptool::ExitCode::kUsage;
    }
    switch (rilvane::proof::RipLog::check(text)) {
    case rilvane::proof::RipLog::Seal::Valid:
        std::cout << path << ": unverändert (die Prüfsumme am Ende stimmt)\n";
        return 0;
    case rilvane::proof::RipLog::Seal::Broken:
        std::cout << path << ": VERÄNDERT (die Prüfsumme am Ende stimmt nicht)\n";
        return 1;
    case rilvane::proof::RipLog::Seal::Missing:
        break;
    }
    std::cout << path << ": kein Protokoll von rilvane-rip (keine Prüfsumme am Ende)\n";
    return 1;
}

}  // namespace

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
    if (parsed->action == RipToolArguments::Action::CheckLog) return checkLog(parsed->checkLog);
    if (parsed->action == RipToolArguments::Action::Version) {
        std::cout << "rilvane-rip " << RILVANE_VERSION << "\n";
        return ExitCode::kAllRead;
    }
    rilvane::platform::catchStopSignals();
    RescueConsole console(std::cerr, rilvane::platform::isTerminal(rilvane::platform::ConsoleStream::Error));
    DiscRescue rescue(*parsed, console, std::cout);
    return rescue.run();
}
