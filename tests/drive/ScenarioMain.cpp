#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <vector>

#include "Scenario.h"

namespace rilvane::test {

namespace {

Scenario current;

struct DiscRequest {
    std::string target;  // "D" or "aspi:1:3"
    makedisc::DiscPlan plan;
    std::string discName;
};

makedisc::DiscPlan twelveTracks(const std::string& name)
{
    makedisc::DiscPlan plan;
    plan.tracks = 12;
    plan.name = name;
    plan.stamp = true;
    plan.defects = {
        "1000 03/11/05",
        "2000 03/11/05",
        "2010 02/04/00",
        "3000-3109 03/11/05",  // eleven read blocks in a row
        "4000-4099 03/11/05",  // ten, a good one at 4100, then ten more
        "4110-4209 03/11/05",
    };
    return plan;
}

makedisc::DiscPlan brokenDisc()
{
    makedisc::DiscPlan plan;
    plan.tracks = 3;
    plan.name = "BROKEN";
    plan.defects = {"inquiry 05/20/00", "toc 05/24/00", "50 03/11/05", "100 gone"};
    return plan;
}

makedisc::DiscPlan plainDisc(const std::string& name, int tracks)
{
    makedisc::DiscPlan plan;
    plan.tracks = tracks;
    plan.name = name;
    return plan;
}

// A disc just put in: the change is reported once, then the drive spins up
// for three commands.
makedisc::DiscPlan settlingDisc(const std::string& name)
{
    makedisc::DiscPlan plan;
    plan.tracks = 2;
    plan.name = name;
    plan.defects = {"startup 06/28/00 1", "startup 02/04/01 3"};
    return plan;
}

// A drive that stays "becoming ready" for good.
makedisc::DiscPlan neverReadyDisc()
{
    makedisc::DiscPlan plan;
    plan.tracks = 1;
    plan.name = "NEVER READY";
    plan.defects = {"startup 02/04/01"};
    return plan;
}

// A drive still loading the disc it was given, as QEMU's answers it: no
// medium for one command, then the change; or a drive with no disc at all.
makedisc::DiscPlan loadingDisc(const std::string& name, bool empty)
{
    makedisc::DiscPlan plan;
    plan.tracks = 2;
    plan.name = name;
    plan.defects = empty ? std::vector<std::string>{"startup 02/3A/00"}
                         : std::vector<std::string>{"startup 02/3A/00 1", "startup 06/28/00 1"};
    return plan;
}

// Audio tracks with a data track last.
makedisc::DiscPlan enhancedDisc()
{
    makedisc::DiscPlan plan;
    plan.tracks = 3;
    plan.lengths = {300, 300, 300};
    plan.name = "ENHANCED";
    plan.dataTrack = makedisc::DataTrack::Last;
    return plan;
}

// Which drives each scenario has.
std::vector<DiscRequest> requestsFor(const std::string& name)
{
    if (name == "Letters")
        return {
            {"D", twelveTracks("TWELVE TRACKS"), "twelve"},
            {"F", plainDisc("SHORT", 1), "short"},
            {"G", brokenDisc(), "broken"},
            {"aspi:0:1", plainDisc("BEHIND ASPI", 2), "aspionly"},
        };
    if (name == "Aspi")
        return {
            {"aspi:1:3", twelveTracks("ASPI TWELVE"), "twelve"},
            {"aspi:0:5", brokenDisc(), "broken"},
        };
    if (name == "Settling")
        return {
            {"D", settlingDisc("JUST INSERTED"), "settling"},
            {"E", neverReadyDisc(), "neverready"},
            {"F", enhancedDisc(), "enhanced"},
            {"aspi:0:1", settlingDisc("ASPI INSERTED"), "aspisettling"},
            {"aspi:0:2", loadingDisc("ASPI LOADING", false), "aspiloading"},
            {"aspi:0:3", loadingDisc("ASPI EMPTY", true), "aspiempty"},
        };
    if (name == "FakeLayer")
        return {};
    return {{"", {}, "unknown"}};
}

std::string makeFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rilvane-drive-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

bool setUp(const std::string& name)
{
    current.name = name;
    current.folder = makeFolder();
    const std::vector<DiscRequest> requests = requestsFor(name);
    std::string drives;
    for (const DiscRequest& request : requests) {
        if (request.discName == "unknown") {
            std::cerr << "unknown scenario " << name << "\n";
            return false;
        }
        makedisc::DiscPlan plan = request.plan;
        plan.out = current.folder + "/" + request.discName;
        makedisc::GeneratedDisc disc;
        std::string error;
        if (!makedisc::writeDisc(plan, disc, error)) {
            std::cerr << "cannot make disc " << request.discName << ": " << error << "\n";
            return false;
        }
        if (!drives.empty())
            drives += ';';
        drives += request.target + "=" + disc.cuePath;
        if (!disc.defectsPath.empty())
            drives += "," + disc.defectsPath;
        current.discs[request.discName] = disc;
    }
    setenv("RILVANE_VIRTUAL_DRIVES", drives.c_str(), 1);
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);
    unsetenv("RILVANE_LIBRARY_DIR");
    return true;
}

}  // namespace

const Scenario& scenario()
{
    return current;
}

std::string emptyFolder()
{
    const std::string folder = current.folder + "/empty";
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace rilvane::test

int main(int argc, char** argv)
{
    std::string name;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--scenario=", 0) == 0)
            name = arg.substr(11);
        else
            args.push_back(argv[i]);
    }
    if (name.empty()) {
        std::cerr << "usage: " << argv[0] << " --scenario=Letters|Aspi|FakeLayer [gtest options]\n";
        return 2;
    }
    if (!rilvane::test::setUp(name))
        return 1;

    int count = static_cast<int>(args.size());
    testing::InitGoogleTest(&count, args.data());
    // Only this scenario's suite runs in this process.
    if (GTEST_FLAG_GET(filter) == "*")
        GTEST_FLAG_SET(filter, name + ".*");
    const int result = RUN_ALL_TESTS();

    std::error_code ignored;
    std::filesystem::remove_all(rilvane::test::scenario().folder, ignored);
    return result;
}
