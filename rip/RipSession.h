// Saving one track as a WAV file: the table of contents, the track's range,
// the read loop and the file, on either transport.
#pragma once

#include <cstdint>
#include <string>

#include "drive/BlockSink.h"
#include "drive/DriveTable.h"
#include "drive/ReadingState.h"
#include "drive/SessionWindow.h"
#include "rip/WavWriter.h"

namespace rilvane {

class RipSession : private BlockSink {
public:
    RipSession(SessionWindow& window, ReadingState& state, const DriveRecord& drive, TransportMode mode, int track);

    // Karaoke mode for the blocks read from now on; it may change between
    // two reads (the window follows its karaoke box).
    void setKaraoke(bool on) { karaoke_ = on; }

    // Creates the file at `path` and rips the track into it. Every outcome is
    // a log line or the file: a finished file, or one with its provisional
    // header when the track number was refused.
    void run(const std::string& path);

private:
    void finish();

    // BlockSink
    // Takes the track's range; a refused track number ends the rip.
    bool tocDone(const TocResult& result) override;
    // Only a track whose range the table of contents gave is read: without
    // one the end sector is 0, and a negative position must not start reads.
    bool keepReading(int32_t sector) override { return rangeSet_ && sector < endSector_; }
    void goodBlock(uint8_t* data, uint32_t bytes) override;

    SessionWindow& window_;
    ReadingState& state_;
    DriveRecord drive_;
    TransportMode mode_;
    int track_;
    int32_t endSector_ = 0;
    bool rangeSet_ = false;
    bool karaoke_ = false;
    WavWriter writer_;
};

}  // namespace rilvane
