#include "DiscGenerator.h"

#include "DiscSpiral.h"

#include <algorithm>

#include "TestSignal.h"

#include "vdrive/CueSheet.h"
#include "vdrive/DefectMap.h"
#include "vdrive/Mode1Sector.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace rilvane::makedisc {

namespace {

namespace fs = std::filesystem;
using vdrive::kSectorBytes;

std::string msf(int64_t sectors)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(sectors / 75 / 60),
                  static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
    return text;
}

std::string twoDigits(int n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

int64_t trackLength(const DiscPlan& plan, int t)
{
    return plan.lengths.empty() ? kDefaultTrackLength : plan.lengths[static_cast<size_t>(t)];
}

int trackCount(const DiscPlan& plan)
{
    return plan.lengths.empty() ? plan.tracks : static_cast<int>(plan.lengths.size());
}

bool isDataTrack(const DiscPlan& plan, int t)
{
    return (plan.dataTrack == DataTrack::First && t == 0) ||
           (plan.dataTrack == DataTrack::Last && t == trackCount(plan) - 1);
}

// One defect line per turn of the spiral: the audio sector crossing the
// scratch's angle on that turn.
std::string scratchLines(const DiscPlan& plan, const GeneratedDisc& disc)
{
    std::string text = "# radial scratch at " + std::to_string(static_cast<int>(*plan.scratchDegrees)) + " degrees\n";
    const double angle = *plan.scratchDegrees * tools::DiscSpiral::kTwoPi / 360.0;
    const int count = static_cast<int>(disc.trackStarts.size());
    auto audio = [&](int64_t s) {
        for (int t = count - 1; t >= 0; --t)
            if (s >= disc.trackStarts[static_cast<size_t>(t)])
                return !isDataTrack(plan, t);
        return false;
    };
    const std::string tail = " 03/11/00" + (plan.scratchDelayMs > 0 ? " " + std::to_string(plan.scratchDelayMs) : "");
    for (int64_t turn = 0;; ++turn) {
        const int64_t s = tools::DiscSpiral::sectorAtAngle(turn, angle);
        if (s >= disc.leadOut)
            break;
        if (s >= 0 && audio(s))
            text += std::to_string(s) + tail + "\n";
    }
    return text;
}

std::string defectMapText(const DiscPlan& plan, const GeneratedDisc& disc)
{
    std::string text = "# defect map of a generated test disc\n";
    if (!plan.name.empty())
        text += "name " + plan.name + "\n";
    for (const std::string& line : plan.defects)
        text += line + "\n";
    if (plan.scratchDegrees)
        text += scratchLines(plan, disc);
    return text;
}

}  // namespace

bool validatePlan(const DiscPlan& plan, std::string& error)
{
    const int count = trackCount(plan);
    if (plan.out.empty() || fs::path(plan.out).filename().empty()) {
        error = "--out needs a path DIR/NAME";
        return false;
    }
    if (count < 1 || count > vdrive::kMaxTracks) {
        error = "the disc needs 1 to 99 tracks";
        return false;
    }
    if (plan.firstTrack < 1 || plan.firstTrack + count - 1 > vdrive::kMaxTracks) {
        error = "track numbers " + std::to_string(plan.firstTrack) + " to " +
                std::to_string(plan.firstTrack + count - 1) + " do not fit 1 to 99";
        return false;
    }
    if (plan.pregap < 0 || plan.pregap > vdrive::kMaxDiscSectors) {
        error = "--pregap out of range";
        return false;
    }
    int64_t total = 0;
    for (int t = 0; t < count; ++t) {
        const int64_t length = trackLength(plan, t);
        if (length < 1 || length > vdrive::kMaxDiscSectors) {
            error = "track length " + std::to_string(length) + " out of range (at least 1 sector)";
            return false;
        }
        total += plan.pregap + length;
    }
    if (total > vdrive::kMaxDiscSectors) {
        error = "the disc would be longer than " + std::to_string(vdrive::kMaxDiscSectors) + " sectors";
        return false;
    }
    // Each defect line on its own, so that a message can name it.
    auto checkLine = [&](const std::string& option, const std::string& line) {
        std::string mapError;
        if (line.find_first_of("\r\n") == std::string::npos && vdrive::DefectMap::parse(line, "-", mapError))
            return true;
        const std::string prefix = "-:1: ";
        if (mapError.compare(0, prefix.size(), prefix) == 0)
            mapError.erase(0, prefix.size());
        error = option + " '" + line + "': " + (mapError.empty() ? "must be one line" : mapError);
        return false;
    };
    if (!plan.name.empty() && !checkLine("--name", "name " + plan.name))
        return false;
    for (const std::string& line : plan.defects)
        if (!checkLine("--defects", line))
            return false;
    // ... and as a whole (a second "inquiry" line, say).
    std::string mapError;
    if (!vdrive::DefectMap::parse(defectMapText(plan, GeneratedDisc{}), "defect map", mapError)) {
        error = mapError;
        return false;
    }
    return true;
}

bool writeDisc(const DiscPlan& plan, GeneratedDisc& disc, std::string& error)
{
    if (!validatePlan(plan, error))
        return false;
    const fs::path base(plan.out);
    const std::string stem = base.filename().string();
    const fs::path folder = base.parent_path();
    std::error_code ec;
    if (!folder.empty())
        fs::create_directories(folder, ec);
    if (ec) {
        error = folder.string() + ": cannot create the folder: " + ec.message();
        return false;
    }

    disc = GeneratedDisc{};
    const int count = trackCount(plan);
    std::string cue = "REM test disc made by rilvane-make-disc\n";
    std::ofstream bin;
    std::array<uint8_t, kSectorBytes> sector{};
    int64_t discSector = 0;

    auto openBin = [&](const std::string& fileName) {
        const fs::path path = folder / fileName;
        // The previous file's write error must not be cleared away unseen.
        if (bin.is_open()) {
            bin.close();
            if (!bin) {
                error = disc.binPaths.back() + ": write error";
                return false;
            }
        }
        bin.clear();
        bin.open(path, std::ios::binary | std::ios::trunc);
        if (!bin) {
            error = path.string() + ": cannot write";
            return false;
        }
        disc.binPaths.push_back(path.string());
        cue += "FILE \"" + fileName + "\" BINARY\n";
        return true;
    };
    auto writeSector = [&] {
        bin.write(reinterpret_cast<const char*>(sector.data()), kSectorBytes);
        ++discSector;
    };

    if (!plan.splitFiles && !openBin(stem + ".bin"))
        return false;
    int64_t fileSector = 0;  // sectors already in the current BIN
    for (int t = 0; t < count; ++t) {
        const int number = plan.firstTrack + t;
        const bool data = isDataTrack(plan, t);
        if (plan.splitFiles) {
            if (!openBin(stem + "-" + twoDigits(number) + ".bin"))
                return false;
            fileSector = 0;
        }
        cue += "  TRACK " + twoDigits(number) + (data ? " MODE1/2352\n" : " AUDIO\n");
        if (!data && std::find(plan.preEmphasis.begin(), plan.preEmphasis.end(), number) != plan.preEmphasis.end())
            cue += "    FLAGS PRE\n";
        if (plan.pregap > 0)
            cue += "    INDEX 00 " + msf(fileSector) + "\n";
        cue += "    INDEX 01 " + msf(fileSector + plan.pregap) + "\n";

        const int64_t length = trackLength(plan, t);
        for (int64_t s = -plan.pregap; s < length; ++s) {
            if (data) {
                sector.fill(0);
                vdrive::encodeMode1Sector(sector.data(), discSector);
            } else {
                renderAudioSector(number, s, discSector, plan.stamp, sector.data());
            }
            if (s == 0)
                disc.trackStarts.push_back(discSector);
            writeSector();
        }
        fileSector += plan.pregap + length;
    }
    bin.close();
    if (!bin) {
        error = disc.binPaths.back() + ": write error";
        return false;
    }
    disc.leadOut = discSector;

    auto writeText = [&](const fs::path& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            error = path.string() + ": cannot write";
            return false;
        }
        return true;
    };
    const fs::path cuePath = folder / (stem + ".cue");
    if (!writeText(cuePath, cue))
        return false;
    disc.cuePath = cuePath.string();
    if (!plan.name.empty() || !plan.defects.empty() || plan.scratchDegrees) {
        const fs::path defectsPath = folder / (stem + ".defects");
        if (!writeText(defectsPath, defectMapText(plan, disc)))
            return false;
        disc.defectsPath = defectsPath.string();
    }
    return true;
}

}  // namespace rilvane::makedisc
