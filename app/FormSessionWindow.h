// The main window as the playback and ripping sessions see it: its message
// pump, current sector, stop request, position field, karaoke box, log pane,
// track table and waveform view. The window lets it write the state the
// sessions move (current sector, stop request, track table); nothing else
// outside the window does.
#pragma once

#include "drive/SessionWindow.h"

class TMainForm;

namespace rilvane {

class FormSessionWindow : public SessionWindow {
public:
    explicit FormSessionWindow(TMainForm& form) : m_form(form) {}

    void processEvents() override;
    int32_t currentSector() const override;
    void setCurrentSector(int32_t sector) override;
    bool stopRequested() const override;
    void setStopRequested(bool stop) override;
    int32_t positionValue() const override;
    void showPosition(int32_t sector) override;
    bool karaokeChecked() const override;
    LogSink& log() override;
    TrackTable& trackTable() override;
    // Draws on PaintBox1 as it stands, without waiting for a repaint.
    void drawWaveform(const uint8_t* staging) override;

private:
    TMainForm& m_form;
};

}  // namespace rilvane
