// Start-up with an optical device node that exists but cannot be used: the
// log pane says which and why after its "no drives" line. The device folder
// is a temporary one (RILVANE_DEVICE_DIR) holding a node without a device
// behind it: a socket, which refuses open() with ENXIO like the node of a
// drive that has gone.

#include "FormControls.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"

#include <QComboBox>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ui = rilvane::test::ui;

namespace {

QString deviceFolder;

}  // namespace

class UnusableDriveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theLogNamesTheNodeAndTheReason();
};

void UnusableDriveTest::theLogNamesTheNodeAndTheReason()
{
    rilvane::test::MessageRecorder messages;
    TMainForm form(rilvane::test::soundLibrary());
    QCOMPARE(ui::DriveBox(form)->count(), 0);
    const QStringList log = rilvane::test::logLines(form);
    const QString expected = QStringLiteral("Laufwerk %1/sr0 nicht nutzbar: Gerät nicht vorhanden (%2).")
                                 .arg(deviceFolder, QString::fromLocal8Bit(std::strerror(ENXIO)));
    QVERIFY2(log.size() >= 2, qPrintable(log.join(u'\n')));
    QCOMPARE(log.mid(log.size() - 2),
             (QStringList{QStringLiteral("Es wurden keine CD-Laufwerke gefunden!"), expected}));
    QVERIFY(messages.requests.isEmpty());
}

int main(int argc, char** argv)
{
    // The folder and its node exist before the platform first looks.
    QTemporaryDir folder;
    if (!folder.isValid())
        return 2;
    deviceFolder = folder.path();
    const QByteArray node = (deviceFolder + QStringLiteral("/sr0")).toLocal8Bit();
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, node.constData(), sizeof address.sun_path - 1);
    if (socketFd < 0 || ::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 2;
    ::close(socketFd);
    setenv("RILVANE_DEVICE_DIR", folder.path().toLocal8Bit().constData(), 1);
    unsetenv("RILVANE_NO_REAL_DRIVES");

    return rilvane::test::runWindowTests(argc, argv, [](int count, char** args) {
        return rilvane::test::runTest<UnusableDriveTest>(count, args);
    });
}

#include "UnusableDriveTest.moc"
