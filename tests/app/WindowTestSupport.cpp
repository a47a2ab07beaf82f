#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

namespace rilvane::test {

MessageRecorder::MessageRecorder()
{
    m_previous = setMessagePrompt([this](const MessageRequest& request) {
        requests.append(request);
        if (m_answers.empty())
            return QMessageBox::Ok;
        const QMessageBox::StandardButton button = m_answers.front();
        m_answers.pop_front();
        return button;
    });
}

MessageRecorder::~MessageRecorder()
{
    setMessagePrompt(std::move(m_previous));
}

FakeUrlOpener::FakeUrlOpener()
{
    if (!m_dir.isValid())
        return;
    const QString script = m_dir.filePath(QStringLiteral("xdg-open"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QString log = m_dir.filePath(QStringLiteral("opened.txt"));
    file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(log).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_oldPath = qgetenv("PATH");
    qputenv("PATH", m_dir.path().toUtf8() + ':' + m_oldPath);
}

FakeUrlOpener::~FakeUrlOpener()
{
    if (!m_oldPath.isNull())
        qputenv("PATH", m_oldPath);
}

QStringList FakeUrlOpener::openedAddresses() const
{
    QFile file(m_dir.filePath(QStringLiteral("opened.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool hasColour(const QImage& image, int x, int y, const QColor& colour)
{
    if (!image.valid(x, y))
        return false;
    return (image.pixel(x, y) & 0xFFFFFFu) == (colour.rgb() & 0xFFFFFFu);
}

QStringList logLines(const QWidget& mainForm)
{
    const auto* memo = mainForm.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    if (memo == nullptr || memo->toPlainText().isEmpty())
        return {};
    return memo->toPlainText().split(u'\n');
}

namespace {
const DSound* gSoundLibrary = nullptr;
}  // namespace

const DSound& soundLibrary()
{
    return *gSoundLibrary;
}

int runWindowTests(int argc, char** argv, const std::function<int(int, char**)>& tests)
{
    DSound library;
    gSoundLibrary = &library;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rilvane"));
    const int status = tests(argc, argv);
    gSoundLibrary = nullptr;
    return status;
}

}  // namespace rilvane::test
