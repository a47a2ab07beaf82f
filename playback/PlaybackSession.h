// One press of Play: the sound buffer plays while the disc is read ten
// sectors at a time from the position control's sector; failed reads are
// logged and skipped, every five good blocks go to the sound buffer.
#pragma once

#include <cstdint>
#include <vector>

#include "drive/DriveTable.h"
#include "drive/ReadLoopHost.h"
#include "playback/SessionWindow.h"

namespace rilvane {

class BlockReader;
class SoundOutput;

class PlaybackSession : private ReadLoopHost {
public:
    PlaybackSession(SessionWindow& window, SoundOutput& sound, const DriveRecord& drive, TransportMode mode);

    // Starts the sound, reads until the stop request is set (Stop, closing
    // the window, or eleven failed reads in a row), stops the sound and logs
    // "Wiedergabe gestoppt...".
    void run();

private:
    void overSpti();
    void overAspi();
    void readLoop(BlockReader& reader);

    // ReadLoopHost
    void processEvents() override { window_.processEvents(); }
    int32_t currentSector() const override { return window_.currentSector(); }
    void setCurrentSector(int32_t sector) override { window_.setCurrentSector(sector); }
    bool stopRequested() const override { return window_.stopRequested(); }
    void requestStop() override { window_.setStopRequested(true); }
    void clearStopRequest() override { window_.setStopRequested(false); }
    bool keepReading(int32_t) override { return true; }
    void goodBlock(uint8_t* data) override;
    void positionChanged(int32_t sector) override { window_.showPosition(sector); }

    SessionWindow& window_;
    SoundOutput& sound_;
    DriveRecord drive_;
    TransportMode mode_;
    std::vector<uint8_t> staging_;
    int32_t fillCount_ = 0;
};

}  // namespace rilvane
