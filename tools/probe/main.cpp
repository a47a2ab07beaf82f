// rilvane-probe: a look at the CD drives through the program's own drive
// code, for people and for tests. See ProbeArguments::usage().
#include <iostream>
#include <string>
#include <vector>

#include "Probe.h"
#include "ProbeArguments.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = rilvane::probe::ProbeArguments::parse(args);
    if (!parsed) {
        std::cerr << rilvane::probe::ProbeArguments::usage();
        return 2;
    }
    if (parsed->action == rilvane::probe::ProbeArguments::Action::Help) {
        std::cout << rilvane::probe::ProbeArguments::usage();
        return 0;
    }
    if (parsed->action == rilvane::probe::ProbeArguments::Action::Version) {
        std::cout << "rilvane-probe " << RILVANE_VERSION << "\n";
        return 0;
    }
    rilvane::probe::Probe probe(std::cout);
    return probe.run(*parsed);
}
