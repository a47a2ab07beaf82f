#include "rescue/RescueText.h"

#include <algorithm>
#include <cstdio>

#include "drive/CdAudio.h"
#include "rescue/RescueReport.h"

namespace rilvane::rescue {

namespace {

const char* const kPassNames[kPassCount] = {"Kopieren", "Eingrenzen", "Wiederholen", "Prüfen"};

}  // namespace

const char* passName(PassId pass)
{
    const auto i = static_cast<size_t>(pass);
    return i < static_cast<size_t>(kPassCount) ? kPassNames[i] : "";
}

std::string roundLabel(Round round)
{
    switch (round.kind) {
    case RoundKind::Pass: return "";
    case RoundKind::Confirm: return " (Bestätigen)";
    case RoundKind::Retry: return " (Runde " + std::to_string(round.number) + ")";
    }
    return "";
}

std::string durationText(double seconds)
{
    if (seconds < 0) seconds = 0;
    const auto total = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string passLine(PassId pass, const std::string& name, int64_t done, int64_t total, double seconds,
                     int64_t failed)
{
    done = std::clamp<int64_t>(done, 0, std::max<int64_t>(total, 0));
    const int percent = total <= 0 ? 100 : static_cast<int>(done * 100 / total);
    // 1x is 75 sectors (176,400 bytes of audio) a second.
    const double perSecond = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    std::string left = "?";
    if (perSecond > 0) left = durationText(static_cast<double>(total - done) / perSecond);
    char text[160];
    std::snprintf(text, sizeof text, "Durchgang %d, %s: %3d %%  %6.1f×  noch %s  %lld %s",
                  static_cast<int>(pass) + 1, name.c_str(), percent, perSecond / cd::kSectorsPerSecond,
                  left.c_str(), static_cast<long long>(failed),
                  failed == 1 ? "fehlerhafter Lesevorgang" : "fehlerhafte Lesevorgänge");
    // German decimal comma in the speed.
    const std::string s = text;
    return decimalComma(s, s.find("×"));
}

std::string passDoneLine(const std::string& progressLine, int64_t reads)
{
    return progressLine + ", " + std::to_string(reads) + (reads == 1 ? " Lesevorgang" : " Lesevorgänge");
}

std::string placeText(const std::vector<int32_t>& trackStarts, int32_t sector)
{
    if (trackStarts.empty()) return "Sektor " + std::to_string(sector) + ": ";
    size_t track = 0;
    while (track + 1 < trackStarts.size() && trackStarts[track + 1] <= sector) ++track;
    char text[64];
    std::snprintf(text, sizeof text, "Track %02zu, %s (Sektor %d): ", track + 1,
                  trackTime(int64_t{sector} - trackStarts[track]).c_str(), sector);
    return text;
}

}  // namespace rilvane::rescue
