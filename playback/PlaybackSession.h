// One press of Play: the sound buffer plays while the disc is read ten
// sectors at a time from the position control's sector; failed reads are
// logged and skipped, every five good blocks go to the sound buffer.
#pragma once

#include <cstdint>
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
    // "Wiedergabe gestoppt...".
    void run();

private:
    // BlockSink: playback reads from wherever the table of contents left it,
    // for as long as no stop request ends it.
    bool tocDone(const TocResult&) override { return true; }
    bool keepReading(int32_t) override { return true; }
    void goodBlock(uint8_t* data, uint32_t bytes) override;

    SessionWindow& window_;
    ReadingState& state_;
    SoundOutput& sound_;
    DriveRecord drive_;
    TransportMode mode_;
    std::vector<uint8_t> staging_;
    int32_t fillCount_ = 0;
    bool karaoke_ = false;
};

}  // namespace rilvane
