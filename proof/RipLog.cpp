#include "proof/RipLog.h"

#include <cstdio>

#include "drive/CdAudio.h"
#include "proof/Sha256.h"

namespace rilvane::proof {

namespace {

const std::string kSealStart = "Prüfsumme dieses Protokolls (SHA-256 aller Zeilen davor): ";

std::string padded(const std::string& label, size_t width)
{
    // Width in characters: UTF-8 continuation bytes take no column.
    size_t columns = 0;
    for (const char c : label)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++columns;
    return label + std::string(columns < width ? width - columns : 1, ' ');
}

std::string line(const std::string& label, const std::string& value, size_t width = 24)
{
    // An empty label continues the line above.
    return "  " + padded(label.empty() ? label : label + ":", width) + value + "\n";
}

std::string trackKind(const TocTrack& t)
{
    std::string kind = t.audio() ? "Audio" : "Daten";
    if (t.preEmphasis()) kind += ", Pre-Emphasis";
    if (t.copyPermitted()) kind += ", Kopie erlaubt";
    if (t.audio() && (t.control & TrackControl::kFourChannel)) kind += ", vierkanalig";
    return kind;
}

std::string sectors(int64_t n)
{
    return std::to_string(n) + (n == 1 ? " Sektor" : " Sektoren");
}

std::string signedNumber(int value)
{
    return (value > 0 ? "+" : "") + std::to_string(value);
}

}  // namespace

std::string discTime(int64_t sectors)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%02lld", static_cast<long long>(sectors / (cd::kSectorsPerSecond * 60)),
                  static_cast<long long>(sectors / cd::kSectorsPerSecond % 60), static_cast<long long>(sectors % cd::kSectorsPerSecond));
    return text;
}

std::string RipLog::verdict(const LogContents& c)
{
    int64_t missing = 0;
    int64_t suspect = 0;
    int64_t unconfirmed = 0;
    int damagedTracks = 0;
    bool fileFailed = false;
    for (const LogTrack& t : c.tracks) {
        missing += t.missingSectors;
        suspect += t.suspectSectors;
        unconfirmed += t.unconfirmedSectors;
        if (t.missingSectors > 0 || t.suspectSectors > 0 || t.unconfirmedSectors > 0) ++damagedTracks;
        fileFailed = fileFailed || t.fileFailed;
    }
    // A scan saves nothing: it can say only how the disc reads.
    const std::string done = c.scanOnly ? "gelesen" : "gerettet";
    if (c.interrupted)
        return "Ergebnis: Die Rettung wurde abgebrochen; die CD ist nicht vollständig " + done + ".";
    if (missing > 0 || suspect > 0 || unconfirmed > 0) {
        std::string what;
        if (missing > 0)
            what = sectors(missing) + (missing == 1 ? " fehlt" : " fehlen") + (c.scanOnly ? "" : " (als Stille geschrieben)");
        if (suspect > 0)
            what += (what.empty() ? "" : ", ") + sectors(suspect) + (suspect == 1 ? " ist" : " sind") + " unsicher";
        if (unconfirmed > 0)
            what += (what.empty() ? "" : ", ") + sectors(unconfirmed) +
                    (unconfirmed == 1 ? " wurde gelesen, aber nicht bestätigt" : " wurden gelesen, aber nicht bestätigt") +
                    (c.verificationSkipped ? " (ohne Prüfen, --no-verify)" : "");
        return "Ergebnis: Die CD ist NICHT vollständig " + done + ": " + what + ", in " + std::to_string(damagedTracks) +
               (damagedTracks == 1 ? " Track." : " Tracks.");
    }
    if (fileFailed) return "Ergebnis: Alles wurde gelesen, aber nicht jede Datei konnte geschrieben werden.";
    if (!c.allTracksChosen)
        return "Ergebnis: Die gewählten Tracks sind vollständig " + done + " (nicht alle Tracks der CD wurden gewählt).";
    return "Ergebnis: Die CD ist vollständig " + done + ": Jeder Sektor jedes Audio-Tracks wurde gelesen.";
}

std::string RipLog::body(const LogContents& c)
{
    std::string t;
    t += c.program + " – Protokoll der Rettung\n";
    t += "\n";
    t += line("Datum", c.date);
    t += line("Laufwerk", c.drive);
    t += line("Übertragung", c.transport);
    t += line("Leseversatz", signedNumber(c.readOffset) + " Samples");
    t += line("Optionen", c.options.empty() ? "(keine)" : c.options);
    t += line("Format", c.format);
    t += "\n";

    t += "Inhaltsverzeichnis\n";
    t += "  Track  Start     Länge     Sektoren          Art\n";
    for (size_t i = 0; i < c.toc.tracks.size(); ++i) {
        const TocTrack& tr = c.toc.tracks[i];
        const int32_t end = c.toc.trackEnd(i);
        char row[96];
        std::snprintf(row, sizeof row, "  %5d  %s  %s  %7d-%-7d  ", tr.number, discTime(tr.start).c_str(),
                      discTime(end - tr.start).c_str(), tr.start, end - 1);
        t += row + trackKind(tr) + "\n";
    }
    char leadOut[64];
    std::snprintf(leadOut, sizeof leadOut, "  Lead-out %s  %29d\n", discTime(c.toc.leadOut).c_str(), c.toc.leadOut);
    t += leadOut;
    t += "\n";

    t += "Disc-IDs\n";
    t += line("AccurateRip", c.ids.accurateRipName());
    t += line("FreeDB", hex8(c.ids.freedbId));
    t += line("MusicBrainz", c.ids.musicBrainzId.empty() ? "(nicht berechenbar)" : c.ids.musicBrainzId);
    t += line("AccurateRip-Abfrage", c.ids.accurateRipUrl());
    if (!c.ids.musicBrainzUrl.empty()) t += line("MusicBrainz-Abfrage", c.ids.musicBrainzUrl);
    t += "\n";

    if (!c.discFigures.empty()) {
        t += "Rettung der ganzen CD\n";
        for (const auto& [label, value] : c.discFigures) t += line(label, value);
        t += "\n";
    }

    for (const LogTrack& lt : c.tracks) {
        t += "Track " + std::to_string(lt.number) + "\n";
        for (const TocTrack& tr : c.toc.tracks)
            if (tr.number == lt.number && tr.preEmphasis())
                t += line("Pre-Emphasis", "ja (so gespeichert, nicht entzerrt)");
        t += line("Datei", lt.file.empty() ? "(keine)" : lt.file + (lt.fileFailed ? " (nicht vollständig geschrieben)" : ""));
        for (const auto& [label, value] : lt.figures) t += line(label, value);
        if (lt.missingSectors == 0) {
            t += line("Fehlend", "nichts");
        } else {
            t += line("Fehlend", sectors(lt.missingSectors) + (c.scanOnly ? " (nicht lesbar)" : " (als Stille geschrieben)"));
            for (const std::string& range : lt.missingRanges) t += line("", range);
        }
        if (lt.suspectSectors > 0) {
            t += line("Unsicher", sectors(lt.suspectSectors) + " (gelesen, aber nicht bestätigt)");
            for (const std::string& range : lt.suspectRanges) t += line("", range);
        }
        if (lt.checksums) {
            t += line("AccurateRip v1", hex8(lt.checksums->accurateRipV1));
            t += line("AccurateRip v2", hex8(lt.checksums->accurateRipV2));
            t += line("CRC32", hex8(lt.checksums->crc));
            t += line("CRC32 ohne Stille", hex8(lt.checksums->crcWithoutSilence));
        }
        if (!lt.accurateRip.empty()) t += line("AccurateRip-Vergleich", lt.accurateRip);
        t += "\n";
    }

    t += verdict(c) + "\n";
    t += "\n";
    return t;
}

std::string RipLog::seal(const std::string& body)
{
    Sha256 hash;
    hash.add(body);
    return body + kSealStart + hash.hexDigest() + "\n";
}

RipLog::SealReport RipLog::inspect(const std::string& text)
{
    SealReport report;
    // The last seal is the last line that starts as one.
    size_t at = std::string::npos;
    for (size_t from = 0; from < text.size();) {
        const size_t end = text.find('\n', from);
        if (text.compare(from, kSealStart.size(), kSealStart) == 0) at = from;
        if (end == std::string::npos) break;
        from = end + 1;
    }
    std::string sealed;
    if (at != std::string::npos) {
        const size_t sealEnd = text.find('\n', at);
        sealed = sealEnd == std::string::npos ? text : text.substr(0, sealEnd + 1);
        report.seal = seal(text.substr(0, at)) == sealed ? Seal::Valid : Seal::Broken;
    }
    for (size_t from = 0; from < sealed.size();) {
        const size_t end = sealed.find('\n', from);
        const std::string lineText = sealed.substr(from, end - from);
        if (lineText.compare(0, kSealStart.size(), kSealStart) == 0) ++report.sealedRuns;
        const std::string dateLabel = "  Datum:";
        if (lineText.compare(0, dateLabel.size(), dateLabel) == 0) {
            const size_t value = lineText.find_first_not_of(' ', dateLabel.size());
            report.lastDate = value == std::string::npos ? "" : lineText.substr(value);
        }
        if (end == std::string::npos) break;
        from = end + 1;
    }
    const std::string tail = sealed.size() < text.size() ? text.substr(sealed.size()) : std::string();
    if (tail.empty()) return report;
    size_t lines = 0;
    std::string first;
    for (size_t from = 0; from < tail.size();) {
        const size_t end = tail.find('\n', from);
        const std::string lineText = tail.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (first.empty() && !lineText.empty()) first = lineText;
        ++lines;
        if (end == std::string::npos) break;
        from = end + 1;
    }
    report.tailLines = lines;
    // Each run opens its part of the log with this line before it reads.
    report.tail = first.rfind("---- ", 0) == 0 ? Tail::Run : Tail::Lines;
    return report;
}

RipLog::Seal RipLog::check(const std::string& text)
{
    const size_t at = text.rfind(kSealStart);
    if (at == std::string::npos) return Seal::Missing;
    const std::string body = text.substr(0, at);
    return seal(body) == text ? Seal::Valid : Seal::Broken;
}

}  // namespace rilvane::proof
