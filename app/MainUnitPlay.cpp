// The Play button: the playback session runs here, inside the click handler,
// and lets the window's messages through between two reads.

#include "app/MainUnit.h"

#include "app/FormSessionWindow.h"
#include "app/KaraokeLink.h"
#include "app/SessionGuard.h"
#include "drive/DriveMessages.h"
#include "playback/PlaybackSession.h"

void TMainForm::PlayBtnClick()
{
    const rilvane::DriveRecord* drive = selectedDrive();
    if (!drive) {
        logLine(std::string(rilvane::DriveMessages::kNoDriveSelected));
        return;
    }
    // Play pressed again while a session or a rip runs: a second session
    // started from the first one's message pump would stop the sound buffer
    // under the first, and a session inside a rip would move the rip's read
    // position. The press is ignored; the running loop goes on.
    if (m_playbackRunning || m_ripRunning) return;

    rilvane::FormSessionWindow window(*this);
    rilvane::runGuarded(m_playbackRunning, *this, [&] {
        rilvane::PlaybackSession session(window, m_reading, m_sound, *drive, m_transportMode);
        const rilvane::KaraokeLink karaoke(*KaraokeCheck, [&session](bool on) { session.setKaraoke(on); });
        session.run();
    });
}
