#include "rescue/RescueReport.h"

#include "proof/RipLog.h"

#include <cstdio>
#include <numeric>

namespace rilvane::rescue {

namespace {

void appendRange(std::ostream& out, const SectorRange& r, int32_t trackStart)
{
    out << rangeStartTime(r, trackStart) << " - " << rangeEndTime(r, trackStart)
        << " (Sektor " << r.firstSector << (r.firstSector == r.lastSector ? "" : " bis " + std::to_string(r.lastSector))
        << ")";
}

std::string hexBytes(const std::string& text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// "file": the name, and where it is not UTF-8 also its bytes in hex, so a
// script can find the real file.
std::string jsonFile(const char* key, const std::string& path)
{
    std::string out = std::string("\"") + key + "\": " + (path.empty() ? "null" : jsonString(path));
    if (!path.empty() && !isUtf8(path)) out += std::string(", \"") + key + "Hex\": \"" + hexBytes(path) + "\"";
    return out;
}

void jsonCounts(std::ostream& out, const SectorCounts& c)
{
    out << "\"earlier\": " << c.earlier << ", \"copied\": " << c.copied << ", \"narrowed\": " << c.narrowed
        << ", \"retried\": " << c.retried << ", \"verified\": " << c.verified << ", \"unconfirmed\": " << c.unconfirmed
        << ", \"suspect\": " << c.suspect
        << ", \"missing\": " << c.missing << ", \"reads\": " << c.reads << ", \"failedReads\": " << c.failedReads
        << ", \"secondsByPass\": [" << c.passSeconds[0] << ", " << c.passSeconds[1] << ", " << c.passSeconds[2] << ", "
        << c.passSeconds[3] << "]";
}

void jsonRanges(std::ostream& out, const std::vector<SectorRange>& ranges, int32_t trackStart)
{
    out << "[";
    for (size_t k = 0; k < ranges.size(); ++k) {
        const SectorRange& r = ranges[k];
        out << (k ? ", " : "") << "{\"firstSector\": " << r.firstSector << ", \"lastSector\": " << r.lastSector
            << ", \"start\": \"" << rangeStartTime(r, trackStart) << "\", \"end\": \""
            << rangeEndTime(r, trackStart) << "\"}";
    }
    out << "]";
}

// "12,3 s", with the German decimal comma.
std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return decimalComma(text);
}

}  // namespace

std::string rangeStartTime(const SectorRange& r, int32_t trackStart)
{
    return trackTime(int64_t{r.firstSector} - trackStart);
}

std::string rangeEndTime(const SectorRange& r, int32_t trackStart)
{
    return trackTime(int64_t{r.lastSector} + 1 - trackStart);
}

std::string decimalComma(std::string text, size_t upTo)
{
    if (const size_t dot = text.rfind('.', upTo); dot != std::string::npos) text[dot] = ',';
    return text;
}

void SectorCounts::add(const SectorCounts& o)
{
    earlier += o.earlier;
    copied += o.copied;
    narrowed += o.narrowed;
    retried += o.retried;
    verified += o.verified;
    suspect += o.suspect;
    unconfirmed += o.unconfirmed;
    missing += o.missing;
    reads += o.reads;
    failedReads += o.failedReads;
    for (size_t i = 0; i < passSeconds.size(); ++i) passSeconds[i] += o.passSeconds[i];
}

std::string counted(int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

SectorCounts RescueReport::totals() const
{
    SectorCounts sum;
    for (const TrackReport& t : tracks) sum.add(t.counts);
    return sum;
}

bool RescueReport::anyFileFailed() const
{
    for (const TrackReport& t : tracks)
        if (t.fileFailed) return true;
    return false;
}

std::string trackTime(int64_t sectors)
{
    return proof::discTime(sectors < 0 ? 0 : sectors);
}

void RescueReport::printSummary(std::ostream& out) const
{
    out << (scan ? "Zusammenfassung (nur gelesen, keine Dateien):\n" : "Zusammenfassung:\n");
    auto countsLine = [&out](const SectorCounts& c) {
        out << c.copied << " kopiert, " << c.narrowed << " durch Eingrenzen, " << c.retried << " durch Wiederholen";
        if (c.earlier > 0) out << ", " << c.earlier << " aus früheren Läufen";
        out << ", " << c.verified << " geprüft, ";
        if (c.unconfirmed > 0) out << c.unconfirmed << " nicht bestätigt, ";
        out << c.suspect << " zweifelhaft, " << c.missing << " fehlen; "
            << counted(c.reads, "Lesevorgang", "Lesevorgänge") << ", " << c.failedReads << " fehlgeschlagen, "
            << secondsText(std::accumulate(c.passSeconds.begin(), c.passSeconds.end(), 0.0));
    };
    for (const TrackReport& t : tracks) {
        char head[16];
        std::snprintf(head, sizeof head, "Track %02d: ", t.track);
        out << head;
        if (t.dataTrack) {
            out << "Datentrack, nicht gelesen und nicht als Audio gespeichert\n";
            continue;
        }
        out << "Sektoren: ";
        countsLine(t.counts);
        if (t.fileFailed) out << ", Datei nicht vollständig geschrieben";
        out << '\n';
        for (const SectorRange& r : t.missing) {
            out << "  fehlt: ";
            appendRange(out, r, t.firstSector);
            out << '\n';
        }
        for (const SectorRange& r : t.suspect) {
            out << "  zweifelhaft: ";
            appendRange(out, r, t.firstSector);
            out << '\n';
        }
        for (const SectorRange& r : t.unconfirmed) {
            out << "  nicht bestätigt: ";
            appendRange(out, r, t.firstSector);
            out << '\n';
        }
    }
    out << "CD: " << counted(static_cast<int64_t>(tracks.size()), "Track", "Tracks") << ", Sektoren: ";
    countsLine(totals());
    out << '\n';
    for (const PassReport& p : passes)
        if (p.ran) {
            out << "  " << p.name << ": " << counted(p.reads, "Lesevorgang", "Lesevorgänge") << ", "
                << p.failedReads << " fehlgeschlagen, " << secondsText(p.seconds) << '\n';
        }
    if (contested > 0)
        out << counted(contested, "Sektor", "Sektoren") << " las dieses Laufwerk anders als das frühere ("
            << earlierDrive << "): keine der beiden Lesungen gilt, bis ein drittes Laufwerk entscheidet (zweifelhaft).\n";
    // Only a map on the disk keeps what was read for the next run.
    const std::string kept = mapSaved ? "das Gerettete ist gesichert"
                                      : "die Karte " + mapFile +
                                            " konnte zuletzt nicht gesichert werden: was seither gelesen wurde, "
                                            "liest ein neuer Lauf noch einmal";
    if (driveGone) out << "Das Laufwerk ist nicht mehr erreichbar; " << kept << ".\n";
    else if (!problem.empty()) out << problem << "; " << kept << ".\n";
    else if (!mapSaved) out << kept << ".\n";
    if (timeUp) out << "Die Zeit (--max-time) ist um; " << kept << ".\n";
    if (interrupted) out << "Abgebrochen: " << kept << ".\n";
    if (!mapFile.empty() &&
        (driveGone || timeUp || interrupted || !problem.empty() ||
         totals().missing + totals().suspect + totals().unconfirmed > 0))
        out << "Ein neuer Aufruf mit demselben --out setzt die Rettung fort (auch mit einem anderen Laufwerk).\n";
}

void RescueReport::writeJson(std::ostream& out) const
{
    auto boolean = [](bool b) { return b ? "true" : "false"; };
    out << "{\n  \"drive\": " << jsonString(drive);
    if (refused) {
        // A refused run read nothing: it has no result to report.
        out << ",\n  \"refused\": true,\n  \"problem\": " << jsonString(problem) << "\n}\n";
        return;
    }
    out << ",\n  \"refused\": false,\n  \"scan\": " << boolean(scan) << ",\n  \"karaoke\": " << boolean(karaoke)
        << ",\n  \"verify\": " << boolean(verify) << ",\n  \"c2\": " << boolean(c2) << ",\n  \"c2Bytes\": " << c2Bytes
        << ",\n  \"c2Trusted\": " << boolean(c2Trusted) << ",\n  \"cache\": {\"sectors\": " << cacheSectors
        << ", \"measured\": " << boolean(cacheMeasured) << ", \"fua\": " << boolean(cacheFua)
        << ", \"failedFlushes\": " << failedFlushes << ", \"how\": " << jsonString(cacheText) << "}"
        << ",\n  \"retrySpeedKilobytes\": " << retrySpeed << ",\n  \"retries\": " << retries
        << ",\n  \"passes\": " << passesAllowed << ",\n  \"resumed\": " << boolean(resumed)
        << ",\n  \"interrupted\": " << boolean(interrupted) << ",\n  \"timeUp\": " << boolean(timeUp)
        << ",\n  \"driveGone\": " << boolean(driveGone) << ",\n  " << jsonFile("workingCopy", workingCopy) << ",\n  "
        << jsonFile("map", mapFile);
    if (!mapFile.empty()) out << ",\n  \"mapSaved\": " << boolean(mapSaved);
    if (!earlierDrive.empty())
        out << ",\n  \"earlierDrive\": " << jsonString(earlierDrive) << ",\n  \"contestedSectors\": " << contested;
    if (!problem.empty()) out << ",\n  \"problem\": " << jsonString(problem);
    out << ",\n  \"readOffset\": " << readOffset;
    if (ids)
        out << ",\n  \"discIds\": {\"accurateRip\": " << jsonString(ids->accurateRipName())
            << ", \"freedb\": " << jsonString(proof::hex8(ids->freedbId))
            << ", \"musicBrainz\": " << jsonString(ids->musicBrainzId)
            << ", \"accurateRipUrl\": " << jsonString(ids->accurateRipUrl())
            << ", \"musicBrainzUrl\": " << jsonString(ids->musicBrainzUrl) << "}";
    if (!subchannelJson.empty()) out << ",\n  \"subchannel\": " << subchannelJson;
    out << ",\n  \"tracks\": [";
    for (size_t i = 0; i < tracks.size(); ++i) {
        const TrackReport& t = tracks[i];
        out << (i ? ",\n" : "\n") << "    {\"track\": " << t.track << ", \"firstSector\": " << t.firstSector
            << ", \"endSector\": " << t.endSector << ", \"dataTrack\": " << boolean(t.dataTrack) << ", "
            << jsonFile("file", t.file) << ", \"fileFailed\": " << boolean(t.fileFailed) << ",\n     ";
        jsonCounts(out, t.counts);
        out << ",\n     \"missingRanges\": ";
        jsonRanges(out, t.missing, t.firstSector);
        out << ",\n     \"suspectRanges\": ";
        jsonRanges(out, t.suspect, t.firstSector);
        out << ",\n     \"unconfirmedRanges\": ";
        jsonRanges(out, t.unconfirmed, t.firstSector);
        if (t.checksums)
            out << ",\n     \"checksums\": {\"accurateRipV1\": \"" << proof::hex8(t.checksums->accurateRipV1)
                << "\", \"accurateRipV2\": \"" << proof::hex8(t.checksums->accurateRipV2) << "\", \"crc32\": \""
                << proof::hex8(t.checksums->crc) << "\", \"crc32WithoutSilence\": \""
                << proof::hex8(t.checksums->crcWithoutSilence) << "\"}";
        if (!t.accurateRip.empty()) out << ",\n     \"accurateRip\": " << jsonString(t.accurateRip);
        if (ids) out << ",\n     \"preEmphasis\": " << boolean(t.preEmphasis);
        out << "}";
    }
    out << (tracks.empty() ? "]" : "\n  ]") << ",\n  \"passReports\": [";
    bool first = true;
    for (const PassReport& p : passes) {
        if (!p.ran) continue;
        out << (first ? "\n" : ",\n") << "    {\"pass\": " << jsonString(p.name) << ", \"reads\": " << p.reads
            << ", \"failedReads\": " << p.failedReads << ", \"seconds\": " << p.seconds << "}";
        first = false;
    }
    out << (first ? "]" : "\n  ]") << ",\n  \"totals\": {\"tracks\": " << tracks.size() << ", ";
    jsonCounts(out, totals());
    out << "}\n}\n";
}

namespace {

std::string jsonText(const std::string& text, bool& replaced)
{
    replaced = false;
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
                replaced = true;
                ++i;
            }
        }
    }
    return out + "\"";
}

}  // namespace

std::string jsonString(const std::string& text)
{
    bool replaced = false;
    return jsonText(text, replaced);
}

bool isUtf8(const std::string& text)
{
    bool replaced = false;
    jsonText(text, replaced);
    return !replaced;
}

}  // namespace rilvane::rescue
