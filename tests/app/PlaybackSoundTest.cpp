// What a playback session started with the Play button sends to the sound
// device: the real libdsound.so plays into ALSA's file plugin, which pipes
// into rilvane-paced-capture at twice real time. The disc (drive D:, one
// track of 3000 stamped sectors) has two bad blocks at 600 and 610. During
// the session the karaoke box is ticked and Fwd is pressed; the capture must
// hold the good blocks in the order they were read, the ones from the tick
// on with the centre removed.

#include "FormControls.h"
#include "SessionTestSupport.h"
#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/SpinEdit.h"
#include "controls/ButtonsXP.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace ui = rilvane::test::ui;

using rilvane::test::clickButton;
using rilvane::test::kBlockBytes;
using rilvane::test::PumpHook;

namespace {

constexpr unsigned kCaptureRate = 2 * 176400;
constexpr int kStagingBytes = 117600;  // five read blocks, one handoff

rilvane::test::TestDisc gDisc;
QString gCapture;

// The centre of the stereo image removed: both channels become two thirds of
// the difference of left and right.
QByteArray withoutCentre(QByteArray block)
{
    auto* bytes = reinterpret_cast<uint8_t*>(block.data());
    for (qsizetype at = 0; at + 4 <= block.size(); at += 4) {
        const auto left = static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
        const auto right = static_cast<int16_t>(bytes[at + 2] | (bytes[at + 3] << 8));
        const int32_t q = std::clamp((2 * (int32_t{left} - int32_t{right})) / 3, -32768, 32767);
        const auto u = static_cast<uint16_t>(static_cast<int16_t>(q));
        bytes[at] = bytes[at + 2] = static_cast<uint8_t>(u & 0xFF);
        bytes[at + 1] = bytes[at + 3] = static_cast<uint8_t>(u >> 8);
    }
    return block;
}

// Waits (with a generous deadline) for the capture tool to finish the file;
// it does so once the sound device has been closed.
QByteArray waitForCapture()
{
    for (int i = 0; i < 1200 && !QFile::exists(gCapture); ++i) QThread::msleep(100);
    QFile file(gCapture);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

}  // namespace

class PlaybackSoundTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void soundReachingTheDeviceIsTheDiscInReadOrder();
};

void PlaybackSoundTest::soundReachingTheDeviceIsTheDiscInReadOrder()
{
    int32_t karaokeFrom = -1;  // first block read with the box ticked
    int32_t jumpedFrom = -1;   // the block Fwd was pressed before
    int32_t stoppedAt = -1;    // the block Stop was pressed before
    bool ticked = false;
    {
        TMainForm form(rilvane::test::soundLibrary());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY2(!form.terminationRequested(), "no sound device");
        QCOMPARE(ui::DriveBox(form)->count(), 1);
        QCOMPARE(ui::StartSec(form)->value(), 500);

        PumpHook hook(form, [&](PumpHook& self) {
            const int32_t at = form.currentSector();
            if (karaokeFrom < 0) {
                if (at < 700) return;
                karaokeFrom = at;
                clickButton(ui::KaraokeCheck(form));
                ticked = ui::KaraokeCheck(form)->isChecked();
            } else if (jumpedFrom < 0) {
                if (at < 800) return;
                jumpedFrom = at;
                clickButton(ui::FwdBtn(form));
            } else if (at >= jumpedFrom + 1500 + 200) {
                stoppedAt = at;
                clickButton(ui::StopBtn(form));
                self.finish();
            }
        });
        clickButton(ui::PlayBtn(form));
        QVERIFY(!hook.timedOut());
        QVERIFY(ticked);
        QCOMPARE(form.currentSector(), stoppedAt);  // Stop wins over that read
    }  // the window goes, and with it the sound device

    // The reads, in order: from 500 up to the Fwd press, then from 1500 past
    // it up to the block before the Stop press; 600 and 610 fail.
    struct Read {
        int32_t sector;
        bool karaoke;
    };
    std::vector<Read> good;
    bool karaoke = false;
    auto readFrom = [&](int32_t first, int32_t last) {
        for (int32_t s = first; s <= last; s += 10) {
            if (s == karaokeFrom) karaoke = true;
            if (s != 600 && s != 610) good.push_back({s, karaoke});
        }
    };
    readFrom(500, jumpedFrom - 10);
    readFrom(jumpedFrom + 1500, stoppedAt - 10);

    // Every full staging buffer was handed to the sound buffer; the blocks
    // left over when the session ended are never played.
    const size_t handedBlocks = good.size() / 5 * 5;

    const QByteArray captured = waitForCapture();
    QVERIFY2(!captured.isEmpty(), "no capture");
    // Silence first: sound start clears the buffer, which plays until the
    // first handoff has filled both halves.
    qsizetype silence = 0;
    while (silence < captured.size() && captured[silence] == 0) ++silence;
    QVERIFY2(silence >= kStagingBytes, qPrintable(QString::number(silence)));
    QCOMPARE(silence % rilvane::test::kSectorBytes, 0);

    // All but the last handed-off buffer have been played in full when the
    // last handoff returns; after it the device plays on until the stop.
    const QByteArray played = captured.mid(silence);
    QVERIFY2(played.size() >= qsizetype(handedBlocks / 5 - 1) * kStagingBytes,
             qPrintable(QStringLiteral("%1 bytes played").arg(played.size())));
    const size_t comparedBlocks = std::min<size_t>(handedBlocks, static_cast<size_t>(played.size() / kBlockBytes));

    // Block by block: the raw sectors up to the tick, without centre from it.
    int switchAt = -1;
    for (size_t i = 0; i < comparedBlocks; ++i) {
        const QByteArray heard = played.mid(qsizetype(i) * kBlockBytes, kBlockBytes);
        const QByteArray raw = rilvane::test::binSectors(gDisc, good[i].sector, 10);
        QCOMPARE(raw.size(), kBlockBytes);
        const bool asRaw = heard == raw;
        const bool asKaraoke = heard == withoutCentre(raw);
        QVERIFY2(asRaw || asKaraoke, qPrintable(QStringLiteral("block %1 (sector %2) is neither the disc's audio "
                                                               "nor the audio without centre")
                                                    .arg(i)
                                                    .arg(good[i].sector)));
        if (asKaraoke && switchAt < 0) switchAt = static_cast<int>(i);
        QVERIFY2(asKaraoke == good[i].karaoke,
                 qPrintable(QStringLiteral("block %1 (sector %2)").arg(i).arg(good[i].sector)));
    }
    qInfo("%zu blocks compared of %zu read well; %lld bytes of silence first; karaoke from block %d",
          comparedBlocks, good.size(), static_cast<long long>(silence), switchAt);
    QVERIFY(switchAt > 0);
    QCOMPARE(good[static_cast<size_t>(switchAt)].sector, karaokeFrom);
}

int main(int argc, char** argv)
{
    return rilvane::test::runSessionWindowTests(
        argc, argv,
        [](const QString& folder) {
            const std::string discs = folder.toStdString();
            std::string error;
            if (!rilvane::test::makeDisc(discs, "CAPTURE", {3000}, {"600-619 03/11/05"}, gDisc, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return false;
            }
            const std::string drives = "D=" + gDisc.driveEntry();
            setenv("RILVANE_VIRTUAL_DRIVES", drives.c_str(), 1);
            gCapture = folder + QStringLiteral("/capture.raw");
            return rilvane::test::usePacedCaptureDevice(discs, gCapture.toStdString(), kCaptureRate);
        },
        [](int count, char** args) { return rilvane::test::runTest<PlaybackSoundTest>(count, args); });
}

#include "PlaybackSoundTest.moc"
