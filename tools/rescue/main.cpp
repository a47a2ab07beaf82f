// rilvane-rescue: rescues a scratched audio CD in a window that shows where
// on the disc each sector stands. See RescueArguments::usage().
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <string>
#include <vector>

#include "RescueArguments.h"
#include "RescueWindow.h"

int main(int argc, char* argv[])
{
    using rilvane::rescuewin::RescueArguments;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto parsed = RescueArguments::parse(args, error);
    if (!parsed) {
        std::fprintf(stderr, "rilvane-rescue: %s\n\n%s", error.c_str(), RescueArguments::usage());
        return 2;
    }
    if (parsed->action == RescueArguments::Action::Help) {
        std::fputs(RescueArguments::usage(), stdout);
        return 0;
    }
    if (parsed->action == RescueArguments::Action::Version) {
        std::printf("rilvane-rescue %s\n", RILVANE_VERSION);
        return 0;
    }

    // Nothing of the program lands in the user's configuration folder (see
    // the main window's start).
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));

    QApplication application(argc, argv);
    Q_INIT_RESOURCE(rilvane);
    QApplication::setApplicationName(QStringLiteral("Rilvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/rilvane/images/rescue-icon.png")));
    QTranslator qtTranslation;
    if (qtTranslation.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslation);

    rilvane::rescuewin::RescueWindow window(*parsed);
    window.show();
    if (parsed->start) QTimer::singleShot(0, &window, [&window] { window.startRescue(); });
    const int status = QApplication::exec();
    return status != 0 ? status : window.exitStatus();
}
