// Rilvane: plays scratched audio CDs and saves their tracks as WAV files.

#include "app/MainUnit.h"
#include "playback/DSound.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

constexpr int kUsageStatus = 2;

constexpr char kHelp[] =
    "Aufruf: rilvane [--help | --version]\n"
    "Spielt Audio-CDs ab, vor allem zerkratzte, und speichert Titel als WAV-Dateien.\n"
    "Das Programm wird über sein Fenster bedient; eigene Optionen hat es nicht\n"
    "(die von Qt, etwa -platform oder -style, gelten weiter).\n"
    "\n"
    "  --help     zeigt diesen Text\n"
    "  --version  zeigt die Version\n"
    "\n"
    "Umgebung:\n"
    "  RILVANE_VIRTUAL_DRIVES  virtuelle CD-Laufwerke, \"E=DISC.cue[,DISC.defects];...\"\n"
    "  RILVANE_NO_REAL_DRIVES  1: /dev/sr* und /dev/sg* nicht beachten\n"
    "  RILVANE_LIBRARY_DIR     der einzige Ordner, in dem libwnaspi32.so und libdsound.so\n"
    "                          gesucht werden\n"
    "  QT_LOGGING_RULES        \"rilvane.log=true\" schreibt das Protokoll auch nach stderr\n"
    "\n"
    "Siehe rilvane(1).\n";

// Qt's own command-line options (QApplication takes them out of argv), with
// one dash or two; those in the second list take the next argument as value.
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
constexpr const char* kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowtitle", "qwindowicon",
    "session", "display", "geometry", "name", "title", "visual", "style", "stylesheet", "qmljsdebugger", "fn",
    "font", "bg", "background", "fg", "foreground", "btn", "button", "ncols", "cmap"};

bool named(const char* const* names, size_t count, const std::string& name)
{
    for (size_t i = 0; i < count; ++i)
        if (name == names[i]) return true;
    return false;
}

enum class Request { Run, Answered, Unknown };

// The window program takes no arguments of its own; Qt's still apply. --help
// and --version are answered on standard output, and anything else is
// refused on standard error, before anything of the window exists, so all
// of it works without a display.
Request checkArguments(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--version") {
            std::printf("rilvane %s\n", RILVANE_VERSION);
            return Request::Answered;
        }
        if (argument == "--help") {
            std::fputs(kHelp, stdout);
            return Request::Answered;
        }
        std::string name = argument.size() > 1 && argument[0] == '-' ? argument.substr(1) : std::string();
        if (name.size() > 1 && name[0] == '-') name.erase(0, 1);
        const size_t equals = name.find('=');
        const std::string bare = name.substr(0, equals);
        if (named(kQtFlags, std::size(kQtFlags), name)) continue;
        if (named(kQtOptionsWithValue, std::size(kQtOptionsWithValue), bare)) {
            if (equals == std::string::npos) ++i;  // the value follows
            continue;
        }
        std::fprintf(stderr, "rilvane: Unbekannte Angabe '%s'\n\n%s", argument.c_str(), kHelp);
        return Request::Unknown;
    }
    return Request::Run;
}

}  // namespace

int main(int argc, char* argv[])
{
    switch (checkArguments(argc, argv)) {
    case Request::Answered: return 0;
    case Request::Unknown: return kUsageStatus;
    case Request::Run: break;
    }

    // The sound library is loaded before anything else and freed last.
    rilvane::DSound soundLibrary;

    // The program keeps no settings, and nothing of it may land in the
    // user's configuration folder. Qt's file dialog would store its history,
    // side panel and column state there on its own (QtProject.conf). The
    // user settings' folder is moved to /dev/null, which is no folder and
    // cannot become one: Qt's settings can never be saved (they fail
    // silently), and the dialog starts the same way in every run.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));

    QApplication application(argc, argv);
    Q_INIT_RESOURCE(rilvane);
    // The application's title; message boxes without a title of their own
    // show it. (A display name would be appended to every window title.)
    QApplication::setApplicationName(QStringLiteral("Rilvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/rilvane/images/app-icon.png")));
    // The program speaks German; so do Qt's own dialogs (the file dialog,
    // the buttons of message boxes) where Qt's translations are installed.
    QTranslator qtTranslation;
    if (qtTranslation.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslation);

    TMainForm mainForm(soundLibrary);
    mainForm.show();
    return QApplication::exec();
}
