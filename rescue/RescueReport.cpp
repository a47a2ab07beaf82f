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
void jsonFile(Json& j, const char* key, const std::string& path)
{
    j[key] = path.empty() ? Json() : Json(path);
    if (!path.empty() && !isUtf8(path)) j[std::string(key) + "Hex"] = hexBytes(path);
}

void jsonCounts(Json& j, const SectorCounts& c)
{
    j["earlier"] = c.earlier;
    j["copied"] = c.copied;
    j["narrowed"] = c.narrowed;
    j["retried"] = c.retried;
    j["verified"] = c.verified;
    j["unconfirmed"] = c.unconfirmed;
    j["suspect"] = c.suspect;
    j["missing"] = c.missing;
    j["reads"] = c.reads;
    j["failedReads"] = c.failedReads;
    j["secondsByPass"] = c.passSeconds;
}

Json jsonRanges(const std::vector<SectorRange>& ranges, int32_t trackStart)
{
    Json list = Json::array();
    for (const SectorRange& r : ranges)
        list.push_back({{"firstSector", r.firstSector},
                        {"lastSector", r.lastSector},
                        {"start", rangeStartTime(r, trackStart)},
                        {"end", rangeEndTime(r, trackStart)}});
    return list;
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
    Json j;
    j["drive"] = drive;
    if (refused) {
        // A refused run read nothing: it has no result to report.
        j["refused"] = true;
        j["problem"] = problem;
        out << dumpJson(j) << '\n';
        return;
    }
    j["refused"] = false;
    j["scan"] = scan;
    j["karaoke"] = karaoke;
    j["verify"] = verify;
    j["c2"] = c2;
    j["c2Bytes"] = c2Bytes;
    j["c2Trusted"] = c2Trusted;
    j["cache"] = {{"sectors", cacheSectors},
                  {"measured", cacheMeasured},
                  {"fua", cacheFua},
                  {"failedFlushes", failedFlushes},
                  {"how", cacheText}};
    j["retrySpeedKilobytes"] = retrySpeed;
    j["retries"] = retries;
    j["passes"] = passesAllowed;
    j["resumed"] = resumed;
    j["interrupted"] = interrupted;
    j["timeUp"] = timeUp;
    j["driveGone"] = driveGone;
    jsonFile(j, "workingCopy", workingCopy);
    jsonFile(j, "map", mapFile);
    if (!mapFile.empty()) j["mapSaved"] = mapSaved;
    if (!earlierDrive.empty()) {
        j["earlierDrive"] = earlierDrive;
        j["contestedSectors"] = contested;
    }
    if (!problem.empty()) j["problem"] = problem;
    j["readOffset"] = readOffset;
    if (ids)
        j["discIds"] = {{"accurateRip", ids->accurateRipName()},
                        {"freedb", proof::hex8(ids->freedbId)},
                        {"musicBrainz", ids->musicBrainzId},
                        {"accurateRipUrl", ids->accurateRipUrl()},
                        {"musicBrainzUrl", ids->musicBrainzUrl}};
    if (subchannel) j["subchannel"] = *subchannel;
    Json trackList = Json::array();
    for (const TrackReport& t : tracks) {
        Json tj;
        tj["track"] = t.track;
        tj["firstSector"] = t.firstSector;
        tj["endSector"] = t.endSector;
        tj["dataTrack"] = t.dataTrack;
        jsonFile(tj, "file", t.file);
        tj["fileFailed"] = t.fileFailed;
        jsonCounts(tj, t.counts);
        tj["missingRanges"] = jsonRanges(t.missing, t.firstSector);
        tj["suspectRanges"] = jsonRanges(t.suspect, t.firstSector);
        tj["unconfirmedRanges"] = jsonRanges(t.unconfirmed, t.firstSector);
        if (t.checksums)
            tj["checksums"] = {{"accurateRipV1", proof::hex8(t.checksums->accurateRipV1)},
                               {"accurateRipV2", proof::hex8(t.checksums->accurateRipV2)},
                               {"crc32", proof::hex8(t.checksums->crc)},
                               {"crc32WithoutSilence", proof::hex8(t.checksums->crcWithoutSilence)}};
        if (!t.accurateRip.empty()) tj["accurateRip"] = t.accurateRip;
        if (ids) tj["preEmphasis"] = t.preEmphasis;
        trackList.push_back(std::move(tj));
    }
    j["tracks"] = std::move(trackList);
    Json passList = Json::array();
    for (const PassReport& p : passes)
        if (p.ran)
            passList.push_back({{"pass", p.name}, {"reads", p.reads}, {"failedReads", p.failedReads}, {"seconds", p.seconds}});
    j["passReports"] = std::move(passList);
    Json sum;
    sum["tracks"] = tracks.size();
    jsonCounts(sum, totals());
    j["totals"] = std::move(sum);
    out << dumpJson(j) << '\n';
}


bool isUtf8(const std::string& text)
{
    // Whole, shortest-form sequences, no surrogates, nothing above U+10FFFF.
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool valid = len > 0 && c <= 0xF4 && i + len <= n;
        for (size_t k = 1; valid && k < len; ++k) valid = (s[i + k] & 0xC0) == 0x80;
        if (valid && len == 3) valid = !(c == 0xE0 && s[i + 1] < 0xA0) && !(c == 0xED && s[i + 1] >= 0xA0);
        if (valid && len == 4) valid = !(c == 0xF0 && s[i + 1] < 0x90) && !(c == 0xF4 && s[i + 1] >= 0x90);
        if (!valid) return false;
        i += len;
    }
    return true;
}

}  // namespace rilvane::rescue
