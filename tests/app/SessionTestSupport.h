// Helpers for the window tests that play and save through the real buttons:
// test discs made before the platform looks for drives, a paced sound device
// behind ALSA, and a hook that acts from inside a running read loop.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class TMainForm;

namespace rilvane::test {

constexpr int32_t kSectorBytes = 2352;
constexpr int32_t kBlockBytes = 23520;  // one read of ten sectors

// One generated disc: every audio sector carries its address in its first
// frame (left the low 16 bits, right the high 16 bits).
struct TestDisc {
    std::string cue;
    std::string bin;
    std::string defects;  // empty without a defect map
    std::vector<int64_t> trackStarts;
    int64_t leadOut = 0;

    // The drive entry "CUE[,DEFECTS]" for RILVANE_VIRTUAL_DRIVES.
    std::string driveEntry() const;
};

// Writes a stamped disc DIR/NAME with tracks of the given lengths and the
// given defect map lines; on failure returns false with a message.
bool makeDisc(const std::string& folder, const std::string& name, const std::vector<int64_t>& lengths,
              const std::vector<std::string>& defects, TestDisc& disc, std::string& error);

// The bytes of `count` sectors from `first` on, straight from the BIN file.
QByteArray binSectors(const TestDisc& disc, int32_t first, int32_t count);

// Makes ALSA's default device the file plugin piping into
// rilvane-paced-capture (found beside this program), which takes
// `bytesPerSecond` and writes what it got to `capture` once the device is
// closed. Writes HOME/.asoundrc and points HOME and XDG_CONFIG_HOME at
// `home`; call before anything opens a sound device.
bool usePacedCaptureDevice(const std::string& home, const std::string& capture, unsigned bytesPerSecond);

// Lines appended to the log pane since `mark` lines were there.
QStringList logSince(const TMainForm& form, int mark);
int logMark(const TMainForm& form);

// A real mouse click on a button of the window.
void clickButton(QAbstractButton* button);

// Runs `step` every time the application lets its events through while a
// playback session or a rip runs inside its click handler (once per read). Past the deadline (a guard against a loop that never ends,
// not a measure of speed) it stops calling `step`, marks itself timed out and
// presses Stop at every turn until the loops have ended.
class PumpHook : public QObject {
public:
    using Step = std::function<void(PumpHook&)>;

    PumpHook(TMainForm& form, Step step, int deadlineSeconds = 180);
    ~PumpHook() override;

    // No more steps; the hook stays quiet from now on.
    void finish() { m_finished = true; }
    bool finished() const { return m_finished; }
    bool timedOut() const { return m_timedOut; }
    int turns() const { return m_turns; }

private:
    void turn();

    TMainForm& m_form;
    Step m_step;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_deadlineMs;
    int m_turns = 0;
    bool m_finished = false;
    bool m_timedOut = false;
    bool m_inStep = false;
};

// The program's start for these tests: makes the working folder, lets
// `prepare` make the discs, the drive list and the sound device (before the
// platform or ALSA read their settings), then runs the tests as the other
// window tests do.
int runSessionWindowTests(int argc, char** argv, const std::function<bool(const QString& folder)>& prepare,
                          const std::function<int(int, char**)>& tests);

// The folder runSessionWindowTests made for this run.
QString workFolder();

}  // namespace rilvane::test
