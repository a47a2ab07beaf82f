#include "playback/PlaybackSession.h"

#include <algorithm>
#include <cstring>

#include "audio/Karaoke.h"
#include "drive/CommandCatalogue.h"
#include "drive/DiscSession.h"
#include "drive/ReadLoop.h"
#include "drive/DriveCaller.h"
#include "playback/PlaybackMessages.h"
#include "playback/SoundOutput.h"

namespace rilvane {

namespace {

// While a session plays: the sound buffer loops from start() on. However the
// session ends, also by an exception, the buffer is stopped and the stop
// line logged, so that nothing goes on playing the last half-buffer.
class SoundRun {
public:
    SoundRun(SoundOutput& sound, LogSink& log) : sound_(sound), log_(log) { sound_.start(); }
    ~SoundRun()
    {
        sound_.stop();
        try {
            log_.logLine(PlaybackMessages::kStopped);
        } catch (...) {
            // Nowhere left to say it; an exception from here would end the program.
        }
    }
    SoundRun(const SoundRun&) = delete;
    SoundRun& operator=(const SoundRun&) = delete;

private:
    SoundOutput& sound_;
    LogSink& log_;
};

}  // namespace

PlaybackSession::PlaybackSession(SessionWindow& window, ReadingState& state, SoundOutput& sound,
                                 const DriveRecord& drive, TransportMode mode)
    : window_(window), state_(state), sound_(sound), drive_(drive), mode_(mode)
{
}

void PlaybackSession::run()
{
    LogSink& log = window_.log();
    const SoundRun playing(sound_, log);
    // While a dialog or a rip holds the window's thread, no handoff writes:
    // what has been played is overwritten with silence instead of being
    // played again.
    const std::unique_ptr<SessionWindow::Timer> quiet =
        window_.startTimer(kQuietTickMs, [this] { sound_.silencePlayedHalves(); });
    staging_.assign(kStagingBytes, 0);
    fillCount_ = 0;
    leadOut_.reset();
    handedOff_ = false;
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode_, drive_, DriveCaller::Playback, log);
    TocExchange toc(DriveCaller::Playback, state_.trackTable, log);
    ReadLoopStats stats;
    const DiscSessionEnd end = readDisc(*transport, window_, state_, toc, *this, &stats);
    // The disc has ended when the failed reads that ended the loop all lay
    // past its last sector (the drive refuses those); not when Stop, closing
    // or a lost device ended it.
    constexpr int64_t failedRun = int64_t{ReadLoop::kErrorLimit + 1} * CommandCatalogue::kSectorsPerRead;
    if (end == DiscSessionEnd::Read && stats.errorLimitReached && leadOut_ &&
        int64_t{state_.currentSector} - failedRun >= *leadOut_)
        playOutTheEnd();
    staging_.clear();
    staging_.shrink_to_fit();
}

void PlaybackSession::goodBlock(uint8_t* data, uint32_t bytes)
{
    constexpr uint32_t whole = CommandCatalogue::kReadBlockBytes;
    bytes = std::min(bytes, whole);
    if (karaoke_) applyKaraoke(data, bytes / 4);
    uint8_t* into = staging_.data() + fillCount_;
    std::memcpy(into, data, bytes);
    // A block cut short at the lead-out is the end of the disc: the rest of
    // it plays as silence, so the staging buffer still fills by whole blocks.
    std::memset(into + bytes, 0, whole - bytes);
    fillCount_ += static_cast<int32_t>(whole);
    if (fillCount_ >= kStagingBytes) handOff();
}

void PlaybackSession::handOff()
{
    // Stop and closing work while the handoff waits, also on a device that
    // takes its time or none at all.
    const WaitPump pump = [this] {
        window_.processEvents();
        return !state_.stopRequest;
    };
    sound_.handOff(
        staging_.data(), fillCount_, [this](const uint8_t* staging) { window_.drawWaveform(staging); }, pump);
    handedOff_ = true;
    // Whatever the handoff did, the staging buffer starts empty again: a
    // handoff left early because the sound buffer stopped must not let
    // the next block run past the end.
    fillCount_ = 0;
    // Without a device nothing paces the reads and nothing is heard:
    // the session ends (a later Play tries the device again).
    if (sound_.deviceLost() && !state_.stopRequest) {
        window_.log().logLine(PlaybackMessages::kSoundDeviceLost);
        state_.stopRequest = true;
    }
}

void PlaybackSession::playOutTheEnd()
{
    // The error limit set the stop request; while the end plays, a stop
    // request is Stop or closing again. It is left set afterwards, as the
    // error limit left it.
    state_.stopRequest = false;
    if (fillCount_ > 0) {
        std::memset(staging_.data() + fillCount_, 0, static_cast<size_t>(kStagingBytes - fillCount_));
        fillCount_ = kStagingBytes;
        handOff();
    }
    if (handedOff_ && !state_.stopRequest && !sound_.deviceLost()) {
        sound_.playOut([this] {
            window_.processEvents();
            return !state_.stopRequest;
        });
    }
    state_.stopRequest = true;
}

}  // namespace rilvane
