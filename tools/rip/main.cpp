// rilvane-rip: rescues a whole audio CD, scratched or not, into WAV files
// with the program's own drive code. See RipToolArguments::usage().
#include <iostream>
#include <string>
#include <vector>

#include "ConsoleObserver.h"
#include "LogCheck.h"
#include "RipToolArguments.h"
#include "platform/Console.h"
#include "rescue/RescueSession.h"
#include "rescue/StopToken.h"

namespace {

// The exit codes of rilvane-rip.
struct ExitCode {
    static constexpr int kAllRead = 0;
    static constexpr int kBlocksFailed = 1;
    static constexpr int kUsage = 2;
    static constexpr int kNoDisc = 3;
    static constexpr int kInterrupted = 130;
};

// Ctrl+C and the system's request to end stop the rescue.
rilvane::rescue::StopToken stopToken;

int exitCode(rilvane::rescue::RescueResult result)
{
    using rilvane::rescue::RescueResult;
    switch (result) {
    case RescueResult::Complete: return ExitCode::kAllRead;
    case RescueResult::Incomplete: return ExitCode::kBlocksFailed;
    case RescueResult::BadRequest: return ExitCode::kUsage;
    case RescueResult::NoDisc: return ExitCode::kNoDisc;
    case RescueResult::Stopped: return ExitCode::kInterrupted;
    }
    return ExitCode::kBlocksFailed;
}

rilvane::rescue::RescueRequest requestOf(const rilvane::riptool::RipToolArguments& args)
{
    rilvane::rescue::RescueRequest r;
    r.drive = args.drive;
    r.tracks = args.tracks;
    r.outDir = args.outDir;
    r.name = args.name;
    r.karaoke = args.karaoke;
    r.scan = args.scan;
    r.reportPath = args.reportPath;
    r.force = args.force;
    r.offset = args.offset;
    r.flac = args.flac;
    r.accurateRipFile = args.accurateRipFile;
    r.retries = args.retries;
    r.passes = args.passes;
    r.verify = !args.noVerify;
    r.verifyAll = args.verify;
    r.cacheSectorsGiven = args.cacheSectorsGiven;
    r.retrySpeed = args.retrySpeed;
    r.maxSeconds = args.maxSeconds;
    r.cacheSectors = args.cacheSectors;
    r.program = std::string("rilvane-rip ") + RILVANE_VERSION;
    r.options = rilvane::riptool::describeOptions(args);
    return r;
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
    if (parsed->action == RipToolArguments::Action::CheckLog) return checkLog(parsed->checkLog, std::cout, std::cerr);
    if (parsed->action == RipToolArguments::Action::Version) {
        std::cout << "rilvane-rip " << RILVANE_VERSION << "\n";
        return ExitCode::kAllRead;
    }
    rilvane::platform::catchStopSignals([] { stopToken.requestStop(); });
    ConsoleObserver console(std::cerr, rilvane::platform::isTerminal(rilvane::platform::ConsoleStream::Error),
                            std::cout);
    rilvane::rescue::RescueSession session(requestOf(*parsed), console, stopToken);
    return exitCode(session.run().result);
}
