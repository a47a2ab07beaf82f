// Rilvane: plays scratched audio CDs and saves their tracks as WAV files.

#include "app/MainUnit.h"
#include "playback/DSound.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[])
{
    // The sound library is loaded before anything else and freed last.
    rilvane::DSound soundLibrary;

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
