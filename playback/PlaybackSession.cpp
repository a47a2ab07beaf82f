#include "playback/PlaybackSession.h"

#include <algorithm>
#include <cstring>

#include "audio/Karaoke.h"
#include "drive/CommandCatalogue.h"
#include "drive/DiscSession.h"
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
    staging_.assign(kStagingBytes, 0);
    fillCount_ = 0;
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode_, drive_, DriveCaller::Playback, log);
    TocExchange toc(DriveCaller::Playback, state_.trackTable, log);
    readDisc(*transport, window_, state_, toc, *this);
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
    if (fillCount_ >= kStagingBytes) {
        sound_.handOff(staging_.data(), fillCount_, [this](const uint8_t* staging) { window_.drawWaveform(staging); });
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
}

}  // namespace rilvane
