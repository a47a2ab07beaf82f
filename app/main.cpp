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

namespace {

// The window program takes no arguments of its own (Qt's, such as -platform,
// still apply). Only --help and --version are answered, on standard output and
// before anything of the window exists, so they work without a display.
bool answeredInformationRequest(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("rilvane %s\n", RILVANE_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs("Usage: rilvane [--help | --version]\n"
                       "Plays audio CDs, scratched ones above all, and saves tracks as WAV files.\n"
                       "The program is used through its window; it has no options of its own.\n"
                       "\n"
                       "  --help     show this text\n"
                       "  --version  show the version\n"
                       "\n"
                       "Environment:\n"
                       "  RILVANE_VIRTUAL_DRIVES  virtual CD drives, \"E=DISC.cue[,DISC.defects];...\"\n"
                       "  RILVANE_NO_REAL_DRIVES  1: ignore /dev/sr* and /dev/sg*\n"
                       "  RILVANE_LIBRARY_DIR     the only folder searched for libwnaspi32.so and libdsound.so\n"
                       "  QT_LOGGING_RULES        \"rilvane.log=true\" copies the log pane to standard error\n"
                       "\n"
                       "See rilvane(1).\n",
                       stdout);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (answeredInformationRequest(argc, argv)) return 0;

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
