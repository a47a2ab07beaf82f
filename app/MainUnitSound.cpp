// The window's sound output: set up through the sound library the program
// loaded when the window is created, released when it is destroyed.

#include "app/MainUnit.h"

#include "playback/DSound.h"

bool TMainForm::setupSound()
{
    const auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(winId()));
    return m_sound.setUp(m_soundLibrary.DirectSoundCreate, window);
}

QString TMainForm::soundFailureDetails() const
{
    if (!m_soundLibrary.DirectSoundCreate) {
        return QStringLiteral("Die Sound-Bibliothek libdsound.so wurde nicht gefunden.\n"
                              "Abhilfe: das Paket rilvane neu installieren oder RILVANE_LIBRARY_DIR prüfen.");
    }
    const std::string said = m_soundLibrary.soundDeviceError();
    const QString what = said.empty() ? QStringLiteral("Das Sound-Gerät ließ sich nicht einrichten.")
                                      : QStringLiteral("ALSA meldet: ") + QString::fromStdString(said);
    return what + QStringLiteral(
                      "\nAbhilfe: einen Sound-Server mit ALSA-Anschluss starten (PipeWire mit dem Paket "
                      "pipewire-alsa oder PulseAudio mit libasound2-plugins) oder, ohne Soundkarte, das "
                      "Datei-Gerät aus rilvane(1) als ALSA-Gerät \u201Edefault\u201C einrichten.");
}

void TMainForm::releaseSound()
{
    m_sound.release();
}
