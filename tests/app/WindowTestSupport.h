// Helpers for the window tests: answering message boxes, a stand-in for the
// desktop's URL opener, and the test program's main routine.
#pragma once

#include "app/MessagePrompt.h"
#include "playback/DSound.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <functional>

namespace rilvane::test {

// Records every message box the window asks for and answers each with the
// next queued answer (OK when none is queued).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void answer(QMessageBox::StandardButton button) { m_answers.push_back(button); }

    QList<MessageRequest> requests;

private:
    std::deque<QMessageBox::StandardButton> m_answers;
    MessagePrompt m_previous;
};

// Puts a fake "xdg-open" first on PATH that appends each address it is given
// to a file, one per line.
class FakeUrlOpener {
public:
    FakeUrlOpener();
    ~FakeUrlOpener();
    bool isValid() const { return m_dir.isValid(); }
    QStringList openedAddresses() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

// True when the pixel has the colour (ignoring alpha).
bool hasColour(const QImage& image, int x, int y, const QColor& colour);

// The lines of the log pane.
QStringList logLines(const QWidget& mainForm);

}  // namespace rilvane::test

namespace rilvane::test {

// Runs one QtTest object; returns its status.
template <typename Test>
int runTest(int argc, char** argv)
{
    Test test;
    return QTest::qExec(&test, argc, argv);
}

// The test program's start: the sound library is loaded first, as in the
// program, then the application object is made; then the tests run.
int runWindowTests(int argc, char** argv, const std::function<int(int, char**)>& tests);

// The sound library runWindowTests loaded, for the windows the tests make.
const DSound& soundLibrary();

}  // namespace rilvane::test
