// Rilvane: plays scratched audio CDs and saves their tracks as WAV files.

#include "app/MainUnit.h"
#include "playback/DSound.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

int main(int argc, char* argv[])
{
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

    TMainForm mainForm;
    mainForm.show();
    return QApplication::exec();
}
