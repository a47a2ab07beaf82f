// rilvane-make-disc: writes test discs for the virtual drives.
#include "DiscGenerator.h"
#include "MakeDiscOptions.h"

#include <cstdio>

int main(int argc, char** argv)
{
    using namespace rilvane::makedisc;
    std::vector<std::string> args(argv + 1, argv + argc);
    DiscPlan plan;
    std::string error;
    switch (parseArguments(args, plan, error)) {
    case ParseResult::Help:
        std::fputs(usageText().c_str(), stdout);
        return 0;
    case ParseResult::Version:
        std::printf("rilvane-make-disc %s\n", RILVANE_VERSION);
        return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "rilvane-make-disc: %s\n", error.c_str());
        return 2;
    case ParseResult::Run:
        break;
    }
    GeneratedDisc disc;
    if (!writeDisc(plan, disc, error)) {
        std::fprintf(stderr, "rilvane-make-disc: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu tracks, lead-out at sector %lld\n", disc.cuePath.c_str(), disc.trackStarts.size(),
                static_cast<long long>(disc.leadOut));
    return 0;
}
