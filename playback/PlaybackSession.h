// One press of Play: the sound buffer plays while the disc is read ten
// sectors at a time from the position control's sector; failed reads are
// logged and skipped, every five good blocks go to the sound buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "drive/BlockSink.h"
#include "drive/DriveTable.h"
#include "drive/ReadingState.h"
#include "drive/SessionWindow.h"

namespace rilvane {

class SoundOutput;

class PlaybackSession : private BlockSink {
public:
    PlaybackSession(SessionWindow& window, ReadingState& state, SoundOutput& sound, const DriveRecord& drive,
                    TransportMode mode);

    // Karaoke mode for the blocks read from now on; it may change between
    // two reads (the window follows its karaoke box).
    void setKaraoke(bool on) { karaoke_ = on; }

    // Starts the sound, reads until the stop request is set (Stop, closing
    // the window, or eleven failed reads in a row), stops the sound and logs
    // "Wiedergabe gestoppt...". When the failed reads were those past the end
    // of the disc, what was read before them is heard to its end first.
    void run();

private:
    // BlockSink: playback reads from wherever the table of contents left it,
    // for as long as no stop request ends it.
    bool tocDone(const TocResult& result) override
    {
        leadOut_ = result.leadOut;
        return true;
    }
    bool keepReading(int32_t) override { return true; }
    void goodBlock(uint8_t* data, uint32_t bytes) override;

    // Hands the staging buffer to the sound buffer, letting the window's
    // events run while it waits; a device found lost ends the session.
    void handOff();
    // The disc has ended: the last blocks collected, filled up with silence,
    // and what the sound buffer holds are played to their end.
    void playOutTheEnd();

    // How often played halves of the sound buffer are looked for while the
    // window's thread is held elsewhere: several times a half buffer.
    static constexpr int kQuietTickMs = 50;

    SessionWindow& window_;
    ReadingState& state_;
    SoundOutput& sound_;
    DriveRecord drive_;
    TransportMode mode_;
    std::vector<uint8_t> staging_;
    int32_t fillCount_ = 0;
    bool karaoke_ = false;
    std::optional<int32_t> leadOut_;
    bool handedOff_ = false;
};

}  // namespace rilvane
