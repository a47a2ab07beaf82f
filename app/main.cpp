// Rilvane: plays scratched audio CDs and saves their tracks as WAV files.

#include "app/MainUnit.h"
#include "playback/DSound.h"

#include <QApplication>
#include <QIcon>

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

    TMainForm mainForm;
    mainForm.show();
    return QApplication::exec();
}
