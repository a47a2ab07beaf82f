// The main window as the playback and ripping sessions see it: its message
// pump, position field, log pane and waveform view.
#pragma once

#include "drive/SessionWindow.h"

class TMainForm;

namespace rilvane {

class FormSessionWindow : public SessionWindow {
public:
    explicit FormSessionWindow(TMainForm& form) : m_form(form) {}

    void processEvents() override;
    int32_t positionValue() const override;
    void showPosition(int32_t sector) override;
    LogSink& log() override;
    // Draws on PaintBox1 as it stands, without waiting for a repaint.
    void drawWaveform(const uint8_t* staging) override;
    // A QTimer of the window's thread: it also runs in the message loops of
    // dialogs and of a rip started from the pump.
    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> tick) override;

private:
    TMainForm& m_form;
};

}  // namespace rilvane
