// The drive tests that need drives run once per scenario, each in a process
// of its own: the platform reads its virtual drives once per process. The
// scenario is chosen with --scenario=NAME; its discs are generated into a
// temporary folder before the first platform call, and only the test suite
// of the same name runs.
#pragma once

#include <map>
#include <string>

#include "DiscGenerator.h"

namespace rilvane::test {

struct Scenario {
    std::string name;
    std::string folder;                                   // where the discs are
    std::map<std::string, makedisc::GeneratedDisc> discs;  // by disc name
    const makedisc::GeneratedDisc& disc(const std::string& discName) const { return discs.at(discName); }
};

const Scenario& scenario();

// An empty folder inside the scenario's folder, e.g. for a missing library.
std::string emptyFolder();

}  // namespace rilvane::test
