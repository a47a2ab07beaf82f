#include "RescueArguments.h"

#include <algorithm>
#include <iterator>

#include "WholeNumber.h"

namespace rilvane::rescuewin {

namespace {

// Qt's own command-line options (QApplication takes them out of argv), with
// one dash or two; those in the second list take the next argument as value.
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
constexpr const char* kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowtitle", "qwindowicon",
    "session", "display", "geometry", "name", "title", "visual", "style", "stylesheet", "qmljsdebugger", "fn",
    "font", "bg", "background", "fg", "foreground", "btn", "button", "ncols", "cmap"};

template <size_t N>
bool named(const char* const (&names)[N], const std::string& name)
{
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
}

}  // namespace

std::optional<RescueArguments> RescueArguments::parse(const std::vector<std::string>& args, std::string& error)
{
    RescueArguments result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " braucht einen Wert";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            result.action = Action::Help;
            return result;
        }
        if (a == "--version") {
            result.action = Action::Version;
            return result;
        }
        if (a == "--drive") {
            std::string text;
            if (!value(text)) return std::nullopt;
            const auto n = tools::wholeNumber<int>(text, 0, 31);
            if (!n) {
                error = "--drive braucht eine Zahl von 0 bis 31, nicht '" + text + "'";
                return std::nullopt;
            }
            result.drive = *n;
            continue;
        }
        if (a == "--out") {
            if (!value(result.outDir)) return std::nullopt;
            if (result.outDir.empty()) {
                error = "--out braucht einen Ordner";
                return std::nullopt;
            }
            continue;
        }
        if (a == "--start") {
            result.start = true;
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            std::string name = a.substr(1);
            if (name.size() > 1 && name[0] == '-') name.erase(0, 1);
            const size_t equals = name.find('=');
            if (named(kQtFlags, name)) continue;
            if (named(kQtOptionsWithValue, name.substr(0, equals))) {
                if (equals == std::string::npos) ++i;
                continue;
            }
            error = "Unbekannte Angabe '" + a + "'";
            return std::nullopt;
        }
        if (!result.folder.empty()) {
            error = "Nur ein Ordner kann geöffnet werden ('" + result.folder + "' und '" + a + "')";
            return std::nullopt;
        }
        result.folder = a;
    }
    if (!result.folder.empty() && !result.outDir.empty() && result.folder != result.outDir) {
        error = "--out und der Ordner nennen verschiedene Ordner";
        return std::nullopt;
    }
    if (result.start && result.folder.empty() && result.outDir.empty()) {
        error = "--start braucht einen Zielordner (--out ORDNER oder ORDNER)";
        return std::nullopt;
    }
    return result;
}

const char* RescueArguments::usage()
{
    return "Aufruf: rilvane-rescue [--drive N] [--out ORDNER] [--start] [ORDNER]\n"
           "Rettet eine zerkratzte Audio-CD in einem Fenster und zeigt dabei, wo auf der CD\n"
           "welcher Sektor gelesen ist. Die Dateien sind dieselben wie bei rilvane-rip: eine\n"
           "Rettung, die dort begonnen wurde, geht hier weiter und umgekehrt.\n"
           "\n"
           "  ORDNER          einen Ordner mit einer Rettung öffnen: ihren Stand zeigen und\n"
           "                  anbieten, sie fortzusetzen; arbeitet dort gerade rilvane-rip,\n"
           "                  zeigt das Fenster den Fortschritt mit\n"
           "  --drive N       Laufwerk N, gezählt ab 0, wie rilvane-probe es auflistet\n"
           "  --out ORDNER    Zielordner einer neuen Rettung\n"
           "  --start         die Rettung sofort beginnen\n"
           "  --help          zeigt diesen Text\n"
           "  --version       zeigt die Version\n"
           "\n"
           "Rückgabewert: 0, wenn alle Sektoren gelesen sind, 1, wenn Sektoren fehlen oder\n"
           "verdächtig sind, 2 bei falschen Angaben.\n"
           "\n"
           "Umgebung:\n"
           "  RILVANE_VIRTUAL_DRIVES  virtuelle CD-Laufwerke, \"E=DISC.cue[,DISC.defects];...\"\n"
           "  RILVANE_NO_REAL_DRIVES  1: /dev/sr* und /dev/sg* nicht beachten\n"
           "  QT_LOGGING_RULES        \"rilvane.log=true\" schreibt das Protokoll auch nach stderr\n"
           "\n"
           "Siehe rilvane-rescue(1).\n";
}

}  // namespace rilvane::rescuewin
