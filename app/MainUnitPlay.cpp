// The Play button: the playback session runs here, inside the click handler,
// and lets the window's messages through between two reads.

#include "app/MainUnit.h"

#include "app/FormSessionWindow.h"
#include "playback/PlaybackMessages.h"
#include "playback/PlaybackSession.h"

#include <QComboBox>

void TMainForm::PlayBtnClick()
{
    const int index = DriveBox->currentIndex();
    if (index < 0 || index >= driveTable.count) {
        logLine(std::string(rilvane::PlaybackMessages::kNoDrive));
        return;
    }
    // Play pressed again while a session or a rip runs: a second session
    // started from the first one's message pump would stop the sound buffer
    // under the first, and a session inside a rip would move the rip's read
    // position. The press is ignored; the running loop goes on.
    if (playbackRunning || ripRunning) return;

    playbackRunning = true;
    rilvane::FormSessionWindow window(*this);
    rilvane::PlaybackSession(window, sound, driveTable.records[static_cast<size_t>(index)], transportMode).run();
    playbackRunning = false;
}
