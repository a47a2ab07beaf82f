#include "RipToolArguments.h"

#include "WholeNumber.h"

namespace rilvane::riptool {

namespace {

constexpr int kMaxTrack = 99;  // an audio disc has at most 99 tracks

using tools::wholeNumber;

}  // namespace

std::optional<long> parseDuration(const std::string& text)
{
    long total = 0;
    size_t i = 0;
    bool any = false;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
        const auto number = wholeNumber<long>(text.substr(i, j - i), 0, 10'000'000);
        if (!number) return std::nullopt;
        long unit = 1;
        if (j < text.size()) {
            if (text[j] == 'h') unit = 3600;
            else if (text[j] == 'm') unit = 60;
            else if (text[j] != 's') return std::nullopt;
            ++j;
        } else if (any) {
            return std::nullopt;  // "1h30" is not clear
        }
        total += *number * unit;
        any = true;
        i = j;
    }
    if (!any || total <= 0 || total > 10'000'000) return std::nullopt;
    return total;
}

std::optional<std::set<int>> parseTrackList(const std::string& text)
{
    std::set<int> tracks;
    if (text == "all") return tracks;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t dash = item.find('-');
        const auto first = wholeNumber(item.substr(0, dash), 1, kMaxTrack);
        const auto last = dash == std::string::npos ? first : wholeNumber(item.substr(dash + 1), 1, kMaxTrack);
        if (!first || !last || *last < *first) return std::nullopt;
        for (int t = *first; t <= *last; ++t) tracks.insert(t);
        if (comma == std::string::npos) return tracks;
        start = comma + 1;
    }
}

std::string describeOptions(const RipToolArguments& a)
{
    std::string text = "--drive " + std::to_string(a.drive);
    if (!a.tracks.empty()) {
        text += " --tracks ";
        bool first = true;
        for (const int t : a.tracks) text += (first ? "" : ",") + std::to_string(t), first = false;
    }
    text += " --passes " + std::to_string(a.passes) + " --retries " + std::to_string(a.retries) +
            " --cache-sectors " + std::to_string(a.cacheSectors);
    if (a.verify) text += " --verify";
    if (a.maxSeconds) text += " --max-time " + std::to_string(*a.maxSeconds) + "s";
    if (a.offset) text += std::string(" --offset ") + (a.offset > 0 ? "+" : "") + std::to_string(a.offset);
    if (a.flac) text += " --flac";
    if (!a.accurateRipFile.empty()) text += " --accuraterip-file " + a.accurateRipFile;
    if (a.karaoke) text += " --karaoke";
    if (a.force) text += " --force";
    return text;
}

std::optional<RipToolArguments> RipToolArguments::parse(const std::vector<std::string>& args, std::string& error)
{
    RipToolArguments result;
    std::optional<std::string> nameText;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.erase(equals);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            error = option + " braucht einen Wert";
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue) {
                error = option + " nimmt keinen Wert";
                return false;
            }
            target = true;
            return true;
        };

        if (option == "--help" || option == "-h") {
            result.action = Action::Help;
            return result;
        }
        if (option == "--version") {
            result.action = Action::Version;
            return result;
        }
        if (option == "--drive") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto drive = wholeNumber(*text, 0, 31);
            if (!drive) {
                error = "--drive braucht eine Laufwerksnummer von 0 bis 31, nicht '" + *text + "'";
                return std::nullopt;
            }
            result.drive = *drive;
        } else if (option == "--tracks") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto tracks = parseTrackList(*text);
            if (!tracks) {
                error = "--tracks braucht Tracknummern von 1 bis 99 wie 1,3,5-7 oder all, nicht '" + *text + "'";
                return std::nullopt;
            }
            result.tracks = *tracks;
        } else if (option == "--out") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (text->empty()) {
                error = "--out braucht einen Ordner";
                return std::nullopt;
            }
            result.outDir = *text;
        } else if (option == "--name") {
            const auto text = value();
            if (!text) return std::nullopt;
            nameText = text;
        } else if (option == "--report") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (text->empty()) {
                error = "--report braucht einen Dateinamen";
                return std::nullopt;
            }
            result.reportPath = *text;
        } else if (option == "--offset") {
            const auto text = value();
            if (!text) return std::nullopt;
            // "+6" as drive offset lists write it, or "-6".
            const std::string digits = text->size() > 1 && (*text)[0] == '+' && (*text)[1] != '-' ? text->substr(1) : *text;
            const auto offset = wholeNumber(digits, -kMaxOffset, kMaxOffset);
            if (!offset) {
                error = "--offset braucht eine Zahl von Samples zwischen -" + std::to_string(kMaxOffset) + " und +" +
                        std::to_string(kMaxOffset) + ", nicht '" + *text + "'";
                return std::nullopt;
            }
            result.offset = *offset;
        } else if (option == "--accuraterip-file") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (text->empty()) {
                error = "--accuraterip-file braucht einen Dateinamen";
                return std::nullopt;
            }
            result.accurateRipFile = *text;
        } else if (option == "--flac") {
            if (!flag(result.flac)) return std::nullopt;
        } else if (option == "--check-log") {
            const auto text = value();
            if (!text) return std::nullopt;
            result.action = Action::CheckLog;
            result.checkLog = *text;
            return result;
        } else if (option == "--retries" || option == "--passes" || option == "--cache-sectors") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (option == "--retries") {
                const auto n = wholeNumber(*text, 0, 1000);
                if (!n) {
                    error = "--retries braucht eine Zahl von 0 bis 1000, nicht '" + *text + "'";
                    return std::nullopt;
                }
                result.retries = *n;
            } else if (option == "--passes") {
                const auto n = wholeNumber(*text, 1, 3);
                if (!n) {
                    error = "--passes braucht 1, 2 oder 3, nicht '" + *text + "'";
                    return std::nullopt;
                }
                result.passes = *n;
            } else {
                const auto n = wholeNumber(*text, 0, 100'000);
                if (!n) {
                    error = "--cache-sectors braucht eine Zahl von 0 bis 100000, nicht '" + *text + "'";
                    return std::nullopt;
                }
                result.cacheSectors = *n;
            }
        } else if (option == "--max-time") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto seconds = parseDuration(*text);
            if (!seconds) {
                error = "--max-time braucht eine Dauer wie 90s, 15m, 2h oder 1h30m, nicht '" + *text + "'";
                return std::nullopt;
            }
            result.maxSeconds = *seconds;
        } else if (option == "--verify") {
            if (!flag(result.verify)) return std::nullopt;
        } else if (option == "--fill-silence") {
            if (!flag(result.fillSilence)) return std::nullopt;
        } else if (option == "--karaoke") {
            if (!flag(result.karaoke)) return std::nullopt;
        } else if (option == "--scan") {
            if (!flag(result.scan)) return std::nullopt;
        } else if (option == "--force") {
            if (!flag(result.force)) return std::nullopt;
        } else {
            error = "Unbekannte Angabe '" + args[i] + "'";
            return std::nullopt;
        }
    }
    if (result.scan && result.verify) {
        error = "--verify vergleicht mit der Arbeitskopie, die es mit --scan nicht gibt";
        return std::nullopt;
    }
    const auto name = FileNamePattern::parse(nameText.value_or(result.flac ? "track%02d.flac" : "track%02d.wav"), error);
    if (!name) return std::nullopt;
    result.name = *name;
    return result;
}

const char* RipToolArguments::usage()
{
    return "Aufruf: rilvane-rip [--drive N] [--tracks LISTE|all] [--out ORDNER] [--name MUSTER]\n"
           "                   [--retries N] [--passes 1|2|3] [--verify] [--max-time DAUER]\n"
           "                   [--cache-sectors N] [--karaoke] [--scan] [--report DATEI] [--force]\n"
           "                   [--offset SAMPLES] [--flac] [--accuraterip-file DATEI]\n"
           "       rilvane-rip --check-log PROTOKOLL\n"
           "\n"
           "Rettet eine ganze Audio-CD, auch eine zerkratzte, in Durchgängen:\n"
           "  1 Kopieren     je zehn Sektoren auf einmal; was fehlschlägt, wird vorgemerkt, und nach\n"
           "                 Fehlern in Folge springt das Lesen (immer weiter) über die Stelle hinweg\n"
           "  2 Eingrenzen   jeder vorgemerkte Sektor wird einzeln gelesen\n"
           "  3 Wiederholen  was dann noch fehlt, wird bis zu N weitere Male gelesen\n"
           "Meldet das Laufwerk C2-Fehlerzeiger, zählt ein Sektor mit gesetzten Zeigern nicht als\n"
           "gelesen; ohne sie zählt ein in Durchgang 2 oder 3 geretteter Sektor erst, wenn zwei\n"
           "Lesungen mit geleertem Laufwerkspuffer dazwischen übereinstimmen.\n"
           "\n"
           "Im Zielordner entstehen die Arbeitskopie der ganzen CD (disc.bin, rohe Sektoren, mit\n"
           "disc.cue), die Karte disc.map (welcher Sektor wie gelesen ist), das Protokoll disc.log\n"
           "und am Ende (auch nach Strg+C) eine WAV-Datei (mit --flac eine FLAC-Datei) je Audio-Track\n"
           "aus der Arbeitskopie, dazu tracks.cue. Die Zusammenfassung und das Protokoll nennen je\n"
           "Track die Prüfsummen (AccurateRip v1/v2, CRC32) und die Disc-IDs; das Protokoll endet mit\n"
           "einer Prüfsumme seiner selbst (--check-log). Pre-Emphasis wird genannt, nicht entzerrt. Ein\n"
           "neuer Aufruf mit demselben Zielordner setzt die Rettung fort und liest nur, was noch\n"
           "fehlt, auch mit einem anderen Laufwerk und einer anderen Kopie derselben CD.\n"
           "Was nicht gelesen werden konnte, ist in den Dateien Stille gleicher Länge, damit Länge\n"
           "und Zeiten stimmen. Dateien ohne die fehlenden Stellen gibt es nicht mehr: sie würden\n"
           "alles Folgende verschieben; die Zusammenfassung nennt jede fehlende Stelle.\n"
           "Datentracks werden nicht gelesen und nicht als Audio gespeichert.\n"
           "\n"
           "  --drive N          Laufwerk N, gezählt ab 0, wie rilvane-probe es auflistet (Vorgabe 0)\n"
           "  --tracks LISTE     nur diese Tracks lesen und speichern, wie 1,3,5-7 oder all\n"
           "                     (Vorgabe all)\n"
           "  --out ORDNER       Zielordner, wird bei Bedarf angelegt (Vorgabe: aktueller Ordner)\n"
           "  --name MUSTER      Dateiname mit der Tracknummer als %d, %2d oder %02d\n"
           "                     (Vorgabe track%02d.wav, mit --flac track%02d.flac); dazu\n"
           "                     %t Titel und %a Interpret aus dem CD-Text, z.B. \"%02d %t.flac\"\n"
           "  --retries N        weitere Leseversuche je fehlendem Sektor (Vorgabe 10: ein Sektor,\n"
           "                     der beim 2. bis 11. Versuch lesbar ist, wird gerettet; ein ganz\n"
           "                     unlesbarer kostet so höchstens 11 Fehlversuche)\n"
           "  --passes N         nur die Durchgänge 1 bis N (Vorgabe 3)\n"
           "  --verify           jeden gelesenen Sektor ein zweites Mal lesen und vergleichen\n"
           "  --max-time DAUER   nach dieser Zeit aufhören und sichern, z.B. 90s, 15m, 1h30m\n"
           "  --cache-sectors N  so viele Sektoren liest das Programm woanders, um den Puffer des\n"
           "                     Laufwerks zu leeren (Vorgabe 2400, gut 5 MB)\n"
           "  --fill-silence     ohne Wirkung: Fehlendes ist immer Stille (für alte Aufrufe)\n"
           "  --karaoke          Karaoke-Modus: die Mitte des Stereobilds entfernen (nur in den\n"
           "                     WAV-Dateien, nicht in der Arbeitskopie)\n"
           "  --scan             nur lesen und berichten, keine Dateien schreiben\n"
           "  --report DATEI     den Bericht zusätzlich als JSON schreiben\n"
           "  --force            vorhandene WAV-Dateien überschreiben, die nicht zu einer Rettung in\n"
           "                     diesem Ordner gehören\n"
           "  --offset SAMPLES   Leseversatz des Laufwerks (Korrekturwert wie in den Listen von\n"
           "                     AccurateRip, z. B. +6 oder -472); Dateien, Prüfsummen und Bericht\n"
           "                     folgen ihm, was dabei über den Rand der CD reicht, ist Stille\n"
           "  --flac             FLAC-Dateien statt WAV (verlustfrei, mit Tracknummer und Disc-IDs)\n"
           "  --accuraterip-file DATEI\n"
           "                     vergleicht die Prüfsummen mit der Datei der CD aus der AccurateRip-\n"
           "                     Datenbank (dBAR-….bin von der Adresse, die das Protokoll nennt)\n"
           "  --check-log DATEI  prüft, ob ein Protokoll seit dem Schreiben verändert wurde\n"
           "  --help             diese Hilfe\n"
           "  --version          die Version\n"
           "\n"
           "Exit-Status: 0 alles gelesen, 1 Sektoren fehlen oder sind zweifelhaft, eine Ausgabe\n"
           "wurde nicht geschrieben, das Laufwerk ist verschwunden oder die Zeit um,\n"
           "2 falscher Aufruf, 3 kein Laufwerk, kein Inhaltsverzeichnis oder eine andere CD,\n"
           "130 abgebrochen (Strg+C): Arbeitskopie, Karte, Dateien und Bericht sind dann fertig.\n";
}

}  // namespace rilvane::riptool
