#include "playback/PlaybackSession.h"

#include <cstring>

#include "drive/AspiBlockReader.h"
#include "drive/AspiSession.h"
#include "drive/DriveCaller.h"
#include "drive/DriveMessages.h"
#include "drive/ReadLoop.h"
#include "drive/SptiBlockReader.h"
#include "drive/SptiSession.h"
#include "drive/TocExchange.h"
#include "playback/Karaoke.h"
#include "playback/PlaybackMessages.h"
#include "playback/SoundOutput.h"

namespace rilvane {

namespace {
constexpr int32_t kReadBlockBytes = 23520;
constexpr size_t kReadBlockFrames = kReadBlockBytes / 4;
}  // namespace

PlaybackSession::PlaybackSession(SessionWindow& window, SoundOutput& sound, const DriveRecord& drive,
                                 TransportMode mode)
    : window_(window), sound_(sound), drive_(drive), mode_(mode)
{
}

void PlaybackSession::run()
{
    sound_.start();
    if (mode_ == TransportMode::Spti)
        overSpti();
    else
        overAspi();
    staging_.clear();
    staging_.shrink_to_fit();
    sound_.stop();
    window_.log().logLine(PlaybackMessages::kStopped);
}

void PlaybackSession::overSpti()
{
    LogSink& log = window_.log();
    SptiSession session;
    if (!session.open(drive_.letter)) {
        log.logLine(DriveMessages::kSptiNoAccess);
        return;
    }
    staging_.assign(kStagingBytes, 0);
    fillCount_ = 0;
    TocExchange toc(DriveCaller::Playback, window_.trackTable(), log);
    toc.overSpti(session);
    SptiBlockReader reader(session, log);
    window_.setCurrentSector(window_.positionValue());
    readLoop(reader);
}

void PlaybackSession::overAspi()
{
    LogSink& log = window_.log();
    staging_.assign(kStagingBytes, 0);
    fillCount_ = 0;
    AspiSession session;
    if (!session.open(DriveCaller::Playback, log)) return;
    TocExchange toc(DriveCaller::Playback, window_.trackTable(), log);
    toc.overAspi(session, drive_);
    window_.setCurrentSector(window_.positionValue());
    if (!session.openEvent(log)) return;
    AspiBlockReader reader(session, drive_, log);
    readLoop(reader);
    session.closeEvent();
}

void PlaybackSession::readLoop(BlockReader& reader)
{
    ReadLoop loop(reader, *this);
    loop.run();
}

void PlaybackSession::goodBlock(uint8_t* data)
{
    if (window_.karaokeChecked()) applyKaraoke(data, kReadBlockFrames);
    std::memcpy(staging_.data() + fillCount_, data, kReadBlockBytes);
    fillCount_ += kReadBlockBytes;
    if (fillCount_ >= kStagingBytes) {
        sound_.handOff(staging_.data(), fillCount_, [this](const uint8_t* staging) { window_.drawWaveform(staging); });
        // Whatever the handoff did, the staging buffer starts empty again: a
        // handoff left early because the sound buffer stopped must not let
        // the next block run past the end.
        fillCount_ = 0;
        // Without a device nothing paces the reads and nothing is heard:
        // the session ends (a later Play tries the device again).
        if (sound_.deviceLost() && !window_.stopRequested()) {
            window_.log().logLine(PlaybackMessages::kSoundDeviceLost);
            requestStop();
        }
    }
}

}  // namespace rilvane
