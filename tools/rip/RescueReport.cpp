#include "RescueReport.h"

#include <cstdio>

namespace rilvane::riptool {

void TrackReport::addFailure(int32_t first, int32_t sectors)
{
    const int32_t last = first + sectors - 1;
    if (!failedRanges.empty() && int64_t{failedRanges.back().lastSector} + 1 == first)
        failedRanges.back().lastSector = last;
    else
        failedRanges.push_back({first, last});
}

int64_t RescueReport::blocksRead() const
{
    int64_t n = 0;
    for (const TrackReport& t : tracks) n += t.blocksRead;
    return n;
}

int64_t RescueReport::blocksFailed() const
{
    int64_t n = 0;
    for (const TrackReport& t : tracks) n += t.blocksFailed;
    return n;
}

bool RescueReport::anyFileFailed() const
{
    for (const TrackReport& t : tracks)
        if (t.fileFailed) return true;
    return false;
}

std::string trackTime(int64_t sectors)
{
    if (sectors < 0) sectors = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%02lld", static_cast<long long>(sectors / 4500),
                  static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
    return text;
}

void RescueReport::printSummary(std::ostream& out) const
{
    out << (scan ? "Zusammenfassung (nur gelesen, keine Dateien):\n" : "Zusammenfassung:\n");
    int endedEarly = 0;
    for (const TrackReport& t : tracks) {
        char head[16];
        std::snprintf(head, sizeof head, "Track %02d: ", t.track);
        out << head << t.blocksRead << " Blöcke gelesen, " << t.blocksFailed << " fehlerhaft";
        if (t.errorLimitReached) {
            out << ", durch das Fehlerlimit vorzeitig beendet";
            ++endedEarly;
        }
        if (t.interrupted) out << ", abgebrochen";
        if (t.fileFailed) out << ", Datei nicht vollständig geschrieben";
        out << '\n';
        for (const FailedRange& r : t.failedRanges)
            out << "  fehlt: " << trackTime(r.firstSector - t.firstSector) << " - "
                << trackTime(int64_t{r.lastSector} + 1 - t.firstSector) << " (Sektor " << r.firstSector << " bis "
                << r.lastSector << ")\n";
    }
    out << "CD: " << tracks.size() << (tracks.size() == 1 ? " Track, " : " Tracks, ") << blocksRead()
        << " Blöcke gelesen, " << blocksFailed() << " fehlerhaft";
    if (endedEarly > 0) out << ", " << endedEarly << " vorzeitig beendet";
    out << '\n';
    if (interrupted) out << "Abgebrochen: die übrigen Tracks wurden nicht gelesen.\n";
}

void RescueReport::writeJson(std::ostream& out) const
{
    auto boolean = [](bool b) { return b ? "true" : "false"; };
    out << "{\n  \"drive\": " << jsonString(drive) << ",\n  \"scan\": " << boolean(scan)
        << ",\n  \"fillSilence\": " << boolean(fillSilence) << ",\n  \"karaoke\": " << boolean(karaoke)
        << ",\n  \"interrupted\": " << boolean(interrupted);
    if (!problem.empty()) out << ",\n  \"problem\": " << jsonString(problem);
    out << ",\n  \"tracks\": [";
    int endedEarly = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackReport& t = tracks[i];
        if (t.errorLimitReached) ++endedEarly;
        out << (i ? ",\n" : "\n") << "    {\"track\": " << t.track << ", \"firstSector\": " << t.firstSector
            << ", \"endSector\": " << t.endSector << ", \"file\": " << (t.file.empty() ? "null" : jsonString(t.file))
            << ", \"blocksRead\": " << t.blocksRead << ", \"blocksFailed\": " << t.blocksFailed
            << ", \"errorLimitReached\": " << boolean(t.errorLimitReached)
            << ", \"interrupted\": " << boolean(t.interrupted) << ", \"fileFailed\": " << boolean(t.fileFailed)
            << ",\n     \"failedRanges\": [";
        for (size_t k = 0; k < t.failedRanges.size(); ++k) {
            const FailedRange& r = t.failedRanges[k];
            out << (k ? ", " : "") << "{\"firstSector\": " << r.firstSector << ", \"lastSector\": " << r.lastSector
                << ", \"start\": \"" << trackTime(r.firstSector - t.firstSector) << "\", \"end\": \""
                << trackTime(int64_t{r.lastSector} + 1 - t.firstSector) << "\"}";
        }
        out << "]}";
    }
    out << (tracks.empty() ? "]" : "\n  ]") << ",\n  \"totals\": {\"tracks\": " << tracks.size()
        << ", \"blocksRead\": " << blocksRead() << ", \"blocksFailed\": " << blocksFailed()
        << ", \"tracksEndedEarly\": " << endedEarly << "}\n}\n";
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // A whole, shortest-form UTF-8 sequence is copied; anything else
            // becomes the replacement character.
            const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            bool valid = len > 0 && c <= 0xF4 && i + len <= n;
            for (size_t k = 1; valid && k < len; ++k) valid = (s[i + k] & 0xC0) == 0x80;
            if (valid && len == 3) valid = !(c == 0xE0 && s[i + 1] < 0xA0) && !(c == 0xED && s[i + 1] >= 0xA0);
            if (valid && len == 4) valid = !(c == 0xF0 && s[i + 1] < 0x90) && !(c == 0xF4 && s[i + 1] >= 0x90);
            if (valid) {
                out.append(text, i, len);
                i += len;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
    return out + "\"";
}

}  // namespace rilvane::riptool
