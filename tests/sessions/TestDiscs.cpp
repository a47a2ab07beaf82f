#include "TestDiscs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "DiscGenerator.h"

namespace rilvane::test {

namespace {

TestDiscs* discs = nullptr;

std::string makeDisc(const std::string& folder, const std::string& name, std::vector<int64_t> lengths,
                     std::vector<std::string> defects, makedisc::GeneratedDisc& out)
{
    makedisc::DiscPlan plan;
    plan.out = folder + "/" + name;
    plan.lengths = std::move(lengths);
    plan.defects = std::move(defects);
    plan.stamp = true;
    plan.name = name;
    std::string error;
    if (!makedisc::writeDisc(plan, out, error)) throw std::runtime_error(error);
    std::string entry = out.cuePath;
    if (!out.defectsPath.empty()) entry += "," + out.defectsPath;
    return entry;
}

TestDiscs* build()
{
    auto* d = new TestDiscs;
    char tmpl[] = "/tmp/rilvane-sessions-XXXXXX";
    d->folder = mkdtemp(tmpl);
    makedisc::GeneratedDisc plain, scratched, noToc;
    const std::string plainEntry = makeDisc(d->folder, "PLAIN", {1003, 2000, 1005}, {}, plain);
    d->plainBin = plain.binPaths.at(0);
    for (auto s : plain.trackStarts) d->plainStarts.push_back(static_cast<int32_t>(s));
    d->plainLeadOut = static_cast<int32_t>(plain.leadOut);
    // Blocks 200..290 fail (ten), 300 is good, 310..400 fail (ten more), and
    // from 1000 on eleven blocks in a row fail.
    const std::string scratchedEntry =
        makeDisc(d->folder, "SCRATCHED", {3000},
                 {"200-299 03/11/05", "310-409 03/11/05", "1000-1109 03/11/00"}, scratched);
    d->scratchedBin = scratched.binPaths.at(0);
    const std::string noTocEntry = makeDisc(d->folder, "NOTOC", {600}, {"toc 05/24/00"}, noToc);
    makedisc::GeneratedDisc fresh, shortRead;
    const std::string freshEntry =
        makeDisc(d->folder, "FRESH", {600},
                 {"sense descriptor", "startup 02/3A/01 1", "startup 02/04/01 1", "startup 06/28/00 1",
                  "100-109 03/11/05"},
                 fresh);
    const std::string shortEntry = makeDisc(d->folder, "SHORT", {300}, {"100-109 short 4704"}, shortRead);
    makedisc::GeneratedDisc neverReady;
    const std::string neverReadyEntry = makeDisc(d->folder, "NEVERREADY", {600}, {"startup 02/04/01"}, neverReady);
    d->shortBin = shortRead.binPaths.at(0);
    const std::string config = "D=" + plainEntry + ";E=" + scratchedEntry + ";F=" + noTocEntry +
                               ";aspi:0:1=" + plainEntry + ";G=" + freshEntry + ";H=" + shortEntry +
                               ";aspi:0:3=" + shortEntry + ";I=" + neverReadyEntry + ";aspi:0:4=" + neverReadyEntry;
    setenv("RILVANE_VIRTUAL_DRIVES", config.c_str(), 1);
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);
    return d;
}

}  // namespace

const TestDiscs& TestDiscs::get()
{
    if (!discs) discs = build();
    return *discs;
}

std::vector<uint8_t> TestDiscs::sectors(const std::string& bin, int32_t first, int32_t count)
{
    std::ifstream in(bin, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(first) * 2352);
    std::vector<uint8_t> out(static_cast<size_t>(count) * 2352);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    out.resize(static_cast<size_t>(in.gcount()));
    return out;
}

// Makes the discs before any test talks to the platform.
class DiscEnvironment : public ::testing::Environment {
public:
    void SetUp() override { TestDiscs::get(); }
    void TearDown() override
    {
        std::error_code ec;
        if (discs) std::filesystem::remove_all(discs->folder, ec);
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new DiscEnvironment);

}  // namespace rilvane::test
