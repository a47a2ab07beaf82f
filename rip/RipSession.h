// Saving one track as a WAV file: the table of contents, the track's range,
// the read loop and the file, on either transport.
#pragma once

#include <cstdint>
#include <string>

#include "drive/DriveTable.h"
#include "drive/ReadLoopHost.h"
#include "playback/SessionWindow.h"
#include "rip/WavWriter.h"

namespace rilvane {

class AspiSession;
class SptiSession;

class RipSession : private ReadLoopHost {
public:
    RipSession(SessionWindow& window, const DriveRecord& drive, TransportMode mode, int track);

    // Creates the file at `path` and rips the track into it. Every outcome is
    // a log line or the file: a finished file, or one with its provisional
    // header when the track number was refused.
    void run(const std::string& path);

private:
    enum class End { Finish, Abandon };

    End overSpti();
    End overAspi();
    void readLoop(class BlockReader& reader);
    void finish();

    // ReadLoopHost
    void processEvents() override { window_.processEvents(); }
    int32_t currentSector() const override { return window_.currentSector(); }
    void setCurrentSector(int32_t sector) override { window_.setCurrentSector(sector); }
    bool stopRequested() const override { return window_.stopRequested(); }
    void requestStop() override { window_.setStopRequested(true); }
    void clearStopRequest() override { window_.setStopRequested(false); }
    // Only a track whose range the table of contents gave is read: without
    // one the end sector is 0, and a negative position must not start reads.
    bool keepReading(int32_t sector) override { return rangeSet_ && sector < endSector_; }
    void goodBlock(uint8_t* data) override;
    void positionChanged(int32_t sector) override { window_.showPosition(sector); }

    SessionWindow& window_;
    DriveRecord drive_;
    TransportMode mode_;
    int track_;
    int32_t endSector_ = 0;
    bool rangeSet_ = false;
    WavWriter writer_;
};

}  // namespace rilvane
