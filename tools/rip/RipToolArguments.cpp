#include "RipToolArguments.h"

#include "WholeNumber.h"

namespace rilvane::riptool {

namespace {

constexpr int kMaxTrack = 99;  // an audio disc has at most 99 tracks

using tools::wholeNumber;

}  // namespace

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
        } else if (option == "--flac") {
            if (!flag(result.flac)) return std::nullopt;
        } else if (option == "--check-log") {
            const auto text = value();
            if (!text) return std::nullopt;
            result.action = Action::CheckLog;
            result.checkLog = *text;
            return result;
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
    const auto name = FileNamePattern::parse(nameText.value_or(result.flac ? "track%02d.flac" : "track%02d.wav"), error);
    if (!name) return std::nullopt;
    result.name = *name;
    return result;
}

const char* RipToolArguments::usage()
{
    return "Aufruf: rilvane-rip [--drive N] [--tracks LISTE|all] [--out ORDNER] [--name MUSTER]\n"
           "                   [--fill-silence] [--karaoke] [--scan] [--report DATEI] [--force]\n"
           "                   [--offset SAMPLES] [--flac]\n"
           "       rilvane-rip --check-log PROTOKOLL\n"
           "\n"
           "Rettet eine ganze Audio-CD, auch eine zerkratzte: Jeder Track wird Block für Block\n"
           "(zehn Sektoren) gelesen; ein fehlerhafter Block wird übersprungen, nicht wiederholt.\n"
           "Mehr als zehn Fehler in Folge beenden nur diesen Track, dann geht es mit dem nächsten\n"
           "weiter. Am Ende steht, was wo verloren ging.\n"
           "\n"
           "  --drive N          Laufwerk N, gezählt ab 0, wie rilvane-probe es auflistet (Vorgabe 0)\n"
           "  --tracks LISTE     Tracks wie 1,3,5-7 oder all (Vorgabe all)\n"
           "  --out ORDNER       Zielordner, wird bei Bedarf angelegt (Vorgabe: aktueller Ordner)\n"
           "  --name MUSTER      Dateiname mit der Tracknummer als %d, %2d oder %02d\n"
           "                     (Vorgabe track%02d.wav, mit --flac track%02d.flac)\n"
           "  --fill-silence     fehlerhafte Blöcke als Stille gleicher Länge schreiben\n"
           "                     (Vorgabe: weglassen, wie im Fenster)\n"
           "  --karaoke          Karaoke-Modus: die Mitte des Stereobilds entfernen\n"
           "  --scan             nur lesen und berichten, keine Dateien schreiben\n"
           "  --report DATEI     den Bericht zusätzlich als JSON schreiben\n"
           "  --force            vorhandene Dateien überschreiben\n"
           "  --offset SAMPLES   Leseversatz des Laufwerks (Korrekturwert wie in den Listen von\n"
           "                     AccurateRip, z. B. +6 oder -472); Dateien, Prüfsummen und Bericht\n"
           "                     folgen ihm, was dabei über den Rand der CD reicht, ist Stille\n"
           "  --flac             FLAC-Dateien statt WAV (verlustfrei, mit Tracknummer und Disc-IDs)\n"
           "  --check-log DATEI  prüft, ob ein Protokoll seit dem Schreiben verändert wurde\n"
           "  --help             diese Hilfe\n"
           "  --version          die Version\n"
           "\n"
           "Exit-Status: 0 alles gelesen, 1 Blöcke fehlerhaft oder eine Datei nicht geschrieben,\n"
           "2 falscher Aufruf, 3 kein Laufwerk oder kein Inhaltsverzeichnis,\n"
           "130 abgebrochen (Strg+C): die laufende Datei und der Bericht sind dann fertig.\n";
}

}  // namespace rilvane::riptool
