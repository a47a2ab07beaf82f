#include "SessionTestSupport.h"

#include "DiscGenerator.h"
#include "FormControls.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "controls/ButtonsXP.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace ui = rilvane::test::ui;

namespace rilvane::test {

namespace {

std::unique_ptr<QTemporaryDir> gWorkFolder;

}  // namespace

std::string TestDisc::driveEntry() const
{
    return defects.empty() ? cue : cue + "," + defects;
}

bool makeDisc(const std::string& folder, const std::string& name, const std::vector<int64_t>& lengths,
              const std::vector<std::string>& defects, TestDisc& disc, std::string& error)
{
    makedisc::DiscPlan plan;
    plan.out = folder + "/" + name;
    plan.lengths = lengths;
    plan.defects = defects;
    plan.name = name;
    plan.stamp = true;
    makedisc::GeneratedDisc made;
    if (!makedisc::writeDisc(plan, made, error))
        return false;
    if (made.binPaths.size() != 1) {
        error = name + ": expected one BIN file";
        return false;
    }
    disc.cue = made.cuePath;
    disc.bin = made.binPaths.front();
    disc.defects = made.defectsPath;
    disc.trackStarts = made.trackStarts;
    disc.leadOut = made.leadOut;
    return true;
}

QByteArray binSectors(const TestDisc& disc, int32_t first, int32_t count)
{
    QFile file(QString::fromStdString(disc.bin));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64{first} * kSectorBytes))
        return {};
    return file.read(qint64{count} * kSectorBytes);
}

bool usePacedCaptureDevice(const std::string& home, const std::string& capture, unsigned bytesPerSecond)
{
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::path self = fs::read_symlink("/proc/self/exe", failed);
    if (failed)
        return false;
    const fs::path tool = self.parent_path() / "rilvane-paced-capture";
    if (!fs::exists(tool))
        return false;
    std::ofstream config(fs::path(home) / ".asoundrc");
    config << "pcm.!default {\n"
           << "    type file\n"
           << "    slave.pcm \"null\"\n"
           << "    file \"|" << tool.string() << " " << bytesPerSecond << " " << capture << "\"\n"
           << "    format \"raw\"\n"
           << "}\n";
    config.close();
    if (!config)
        return false;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    return true;
}

int logMark(const TMainForm& form)
{
    return static_cast<int>(logLines(form).size());
}

QStringList logSince(const TMainForm& form, int mark)
{
    return logLines(form).mid(mark);
}

void clickButton(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

PumpHook::PumpHook(TMainForm& form, Step step, int deadlineSeconds)
    : m_form(form), m_step(std::move(step)), m_deadlineMs(deadlineSeconds * 1000)
{
    m_clock.start();
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { turn(); });
    m_timer.start();
}

PumpHook::~PumpHook()
{
    m_timer.stop();
}

void PumpHook::turn()
{
    if (m_inStep)
        return;
    ++m_turns;
    if (!m_timedOut && m_clock.elapsed() > m_deadlineMs) {
        m_timedOut = true;
        m_finished = true;
    }
    if (m_timedOut) {
        // Ends whatever loops still run (a rip inside a playback needs two).
        if (m_form.playbackRunning() || m_form.ripRunning())
            ui::StopBtn(m_form)->click();
        return;
    }
    // Steps act from inside a running loop only, as the clicks they stand for.
    if (m_finished || !(m_form.playbackRunning() || m_form.ripRunning()))
        return;
    m_inStep = true;
    m_step(*this);
    m_inStep = false;
}

QString workFolder()
{
    return gWorkFolder ? gWorkFolder->path() : QString();
}

int runSessionWindowTests(int argc, char** argv, const std::function<bool(const QString& folder)>& prepare,
                          const std::function<int(int, char**)>& tests)
{
    gWorkFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/rilvane-window-XXXXXX"));
    if (!gWorkFolder->isValid() || !prepare(gWorkFolder->path())) {
        std::fprintf(stderr, "could not prepare the test discs and the sound device\n");
        gWorkFolder.reset();
        return 1;
    }
    setenv("RILVANE_NO_REAL_DRIVES", "1", 1);
    const int status = runWindowTests(argc, argv, tests);
    gWorkFolder.reset();
    return status;
}

}  // namespace rilvane::test
