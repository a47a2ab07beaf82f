#include "DiscGenerator.h"

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

std::string defectMapText(const DiscPlan& plan)
{
    std::string text = "# defect map of a generated test disc\n";
    if (!plan.name.empty())
        text += "name " + plan.name + "\n";
    for (const std::string& line : plan.defects)
        text += line + "\n";
    return text;
}

// A text as a CUE sheet quotes it.
std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string entryOf(const std::vector<std::string>& list, int t)
{
    return static_cast<size_t>(t) < list.size() ? list[static_cast<size_t>(t)] : std::string();
}

// The disc's own lines: catalogue number and CD-Text.
std::string descriptiveLines(const DiscPlan& plan)
{
    std::string lines;
    if (!plan.catalog.empty())
        lines += "CATALOG " + plan.catalog + "\n";
    if (!plan.title.empty())
        lines += "TITLE " + quoted(plan.title) + "\n";
    if (!plan.performer.empty())
        lines += "PERFORMER " + quoted(plan.performer) + "\n";
    if (!plan.songwriter.empty())
        lines += "SONGWRITER " + quoted(plan.songwriter) + "\n";
    return lines;
}

// A track's TRACK line and what follows it before the INDEX lines.
std::string trackLines(const DiscPlan& plan, int t)
{
    const int number = plan.firstTrack + t;
    const bool data = isDataTrack(plan, t);
    std::string lines = "  TRACK " + twoDigits(number) + (data ? " MODE1/2352\n" : " AUDIO\n");
    if (!data && std::find(plan.preEmphasis.begin(), plan.preEmphasis.end(), number) != plan.preEmphasis.end())
        lines += "    FLAGS PRE\n";
    if (const std::string isrc = entryOf(plan.isrcs, t); !isrc.empty())
        lines += "    ISRC " + isrc + "\n";
    if (const std::string title = entryOf(plan.trackTitles, t); !title.empty())
        lines += "    TITLE " + quoted(title) + "\n";
    if (const std::string performer = entryOf(plan.trackPerformers, t); !performer.empty())
        lines += "    PERFORMER " + quoted(performer) + "\n";
    if (const std::string songwriter = entryOf(plan.trackSongwriters, t); !songwriter.empty())
        lines += "    SONGWRITER " + quoted(songwriter) + "\n";
    return lines;
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
    if (plan.hiddenTrack < 0 || plan.hiddenTrack > vdrive::kMaxDiscSectors) {
        error = "--hidden-track out of range";
        return false;
    }
    if (plan.hiddenTrack > 0 && isDataTrack(plan, 0)) {
        error = "--hidden-track needs an audio first track";
        return false;
    }
    if (plan.index2 < 0 || plan.index2 > vdrive::kMaxDiscSectors) {
        error = "--index2 out of range";
        return false;
    }
    auto tooMany = [&](const std::vector<std::string>& list, const char* option) {
        if (list.size() <= static_cast<size_t>(count))
            return false;
        error = std::string(option) + " gives " + std::to_string(list.size()) + " entries for " +
                std::to_string(count) + " tracks";
        return true;
    };
    if (tooMany(plan.isrcs, "--isrc") || tooMany(plan.trackTitles, "--track-titles") ||
        tooMany(plan.trackPerformers, "--track-performers") || tooMany(plan.trackSongwriters, "--track-songwriters"))
        return false;
    // A CUE sheet cannot quote a double quote.
    for (const std::vector<std::string>* list : {&plan.trackTitles, &plan.trackPerformers, &plan.trackSongwriters})
        for (const std::string& text : *list)
            if (text.find('"') != std::string::npos) {
                error = "CD-Text cannot hold a double quote: " + text;
                return false;
            }
    for (const std::string* text : {&plan.title, &plan.performer, &plan.songwriter})
        if (text->find('"') != std::string::npos) {
            error = "CD-Text cannot hold a double quote: " + *text;
            return false;
        }
    // The descriptive lines must read back as a CUE sheet does.
    std::string sheet = descriptiveLines(plan);
    sheet += "FILE \"x.bin\" BINARY\n";
    for (int t = 0; t < count; ++t)
        sheet += trackLines(plan, t) + "INDEX 01 " + msf(t) + "\n";
    std::string sheetError;
    if (!vdrive::CueSheet::parse(sheet, "disc.cue", sheetError)) {
        const size_t colon = sheetError.find(": ");
        error = colon == std::string::npos ? sheetError : sheetError.substr(colon + 2);
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
    total += plan.hiddenTrack;
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
    if (!vdrive::DefectMap::parse(defectMapText(plan), "defect map", mapError)) {
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
    std::string cue = "REM test disc made by rilvane-make-disc\n" + descriptiveLines(plan);
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
        cue += trackLines(plan, t);
        // Before the first track's INDEX 01 a hidden track may come first.
        const int64_t hidden = t == 0 ? plan.hiddenTrack : 0;
        if (plan.pregap > 0 || hidden > 0)
            cue += "    INDEX 00 " + msf(fileSector) + "\n";
        cue += "    INDEX 01 " + msf(fileSector + hidden + plan.pregap) + "\n";
        const int64_t length = trackLength(plan, t);
        if (!data && plan.index2 > 0 && plan.index2 < length)
            cue += "    INDEX 02 " + msf(fileSector + hidden + plan.pregap + plan.index2) + "\n";

        for (int64_t h = 0; h < hidden; ++h) {
            // The hidden track's own tone, as track 0's.
            renderAudioSector(0, h, discSector, plan.stamp, sector.data());
            writeSector();
        }
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
        fileSector += hidden + plan.pregap + length;
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
    if (!plan.name.empty() || !plan.defects.empty()) {
        const fs::path defectsPath = folder / (stem + ".defects");
        if (!writeText(defectsPath, defectMapText(plan)))
            return false;
        disc.defectsPath = defectsPath.string();
    }
    return true;
}

}  // namespace rilvane::makedisc
