// The log lines of ripping, word for word.
#pragma once

namespace rilvane {

struct RipMessages {
    static constexpr const char* kCannotCreate = "Konnte Datei nicht erstellen...";
    static constexpr const char* kStarting = "Starte Ripping...";
    static constexpr const char* kFinished = "Ripping beendet...";
    // Stop pressed while the drive was still getting ready: nothing saved.
    static constexpr const char* kStoppedBeforeReading = "Ripping abgebrochen, nichts gespeichert...";
    // A write that did not reach the disk (disk full, stick pulled).
    static constexpr const char* kWriteFailed =
        "Fehler beim Schreiben der WAV-Datei (Datenträger voll oder entfernt?)! Ripping abgebrochen...";
    // The final header could not be written.
    static constexpr const char* kHeaderFailed =
        "Fehler beim Abschließen der WAV-Datei! Die Datei ist unvollständig...";
};

}  // namespace rilvane
