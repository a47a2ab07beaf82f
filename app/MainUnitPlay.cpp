// The Play button: the playback session runs here, inside the click handler,
// and lets the window's messages through between two reads.

#include "app/MainUnit.h"

#include "app/FormSessionWindow.h"
#include "app/SessionGuard.h"
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

    rilvane::FormSessionWindow window(*this);
    const rilvane::DriveRecord drive = driveTable.records[static_cast<size_t>(index)];
    rilvane::runGuarded(playbackRunning, *this,
                        [&] { rilvane::PlaybackSession(window, sound, drive, transportMode).run(); });
}
