// The save button: ripping one track into a WAV file runs here, inside the
// click handler, and lets the window's messages through between two reads.

#include "app/MainUnit.h"

#include "app/FormSessionWindow.h"
#include "app/KaraokeLink.h"
#include "app/NativePath.h"
#include "app/SessionGuard.h"
#include "app/SpinEdit.h"
#include "drive/DriveMessages.h"
#include "rip/RipMessages.h"
#include "rip/RipSession.h"

#include <optional>
#include <string>

void TMainForm::SaveTrackClick()
{
    const rilvane::DriveRecord* drive = selectedDrive();
    if (!drive) {
        logLine(std::string(rilvane::DriveMessages::kNoDriveSelected));
        return;
    }
    // A second rip started from the first one's message pump would share its
    // read position; the press is ignored while a rip runs. A rip started
    // during playback holds the playback until it is done.
    if (m_ripRunning) return;

    const QString chosen = executeSaveDialog();
    if (chosen.isEmpty()) return;
    // The name as the file system holds it: a name that is not UTF-8 reaches
    // the window with U+FFFD in it and would otherwise make a second file.
    const std::optional<std::string> path = rilvane::nativePath(chosen);
    if (!path) {
        logLine(std::string(rilvane::RipMessages::kCannotCreate));
        return;
    }

    rilvane::FormSessionWindow window(*this);
    const int track = STrackEd->value();
    rilvane::runGuarded(m_ripRunning, *this, [&] {
        rilvane::RipSession session(window, m_reading, *drive, m_transportMode, track);
        const rilvane::KaraokeLink karaoke(*KaraokeCheck, [&session](bool on) { session.setKaraoke(on); });
        session.run(*path);
    });
}
