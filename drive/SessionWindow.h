// What a playback session, a rip and the read loop under them need from the
// program around them (the main window, or a tool without one): the message
// pump, the shared current sector and stop request, the position control,
// the karaoke box, the log pane, the track table and the waveform view.
#pragma once

#include <cstdint>

#include "drive/LogSink.h"
#include "drive/TrackTable.h"

namespace rilvane {

class SessionWindow {
public:
    virtual ~SessionWindow() = default;

    // Lets all pending window messages run.
    virtual void processEvents() = 0;

    // The sector of the next read. Read anew before every read, since the
    // navigation buttons may change it between two reads.
    virtual int32_t currentSector() const = 0;
    virtual void setCurrentSector(int32_t sector) = 0;

    virtual bool stopRequested() const = 0;
    virtual void setStopRequested(bool stop) = 0;

    // The position control's value, truncated to a whole number.
    virtual int32_t positionValue() const = 0;
    // Sets the position control (its label follows).
    virtual void showPosition(int32_t sector) = 0;

    // Whether the karaoke box is ticked right now.
    virtual bool karaokeChecked() const = 0;

    virtual LogSink& log() = 0;
    virtual TrackTable& trackTable() = 0;

    // Draws a full staging buffer (117600 bytes) into the waveform view.
    virtual void drawWaveform(const uint8_t* staging) = 0;
};

}  // namespace rilvane
