// The log lines of the drive code, word for word.
#pragma once

#include <cstdint>
#include <string>

namespace rilvane {

struct DriveMessages {
    // Where the ASPI driver can be downloaded when the layer is missing.
    static constexpr const char* kAspiVendorAddress = "http://www.adaptec.com/";

    static constexpr const char* kSptiNoAccess = "Kein Laufwerkszugriff über SPTI möglich...";
    static constexpr const char* kAspiNotLoaded = "Konnte ASPI Layer nicht laden...";
    static constexpr const char* kAspiNotInitialised = "Konnte ASPI Layer nicht initialisieren...";
    static constexpr const char* kCommandFailed = "Fehler beim Ausführen des SCSI Kommandos...";
    static constexpr const char* kTocRead = "TOC eingelesen...";
    static constexpr const char* kTocNotRead = "Konnte TOC nicht lesen...";
    static constexpr const char* kInvalidTrack = "Ungültige Track-Nummer...";
    static constexpr const char* kNoDrives = "Es wurden keine CD-Laufwerke gefunden!";
    // Play or save pressed while no entry of the drive list is selected.
    static constexpr const char* kNoDriveSelected = "Es ist kein Laufwerk ausgewählt...";
    static constexpr const char* kDriveTableFull =
        "Mehr als 32 CD-Laufwerke gefunden, die weiteren werden nicht aufgenommen...";

    // "Konnte ASPI Layer nicht laden. Downloaden Sie den ASPI-Treiber von <address>!"
    static std::string aspiNotLoadedWithHint()
    {
        return std::string("Konnte ASPI Layer nicht laden. Downloaden Sie den ASPI-Treiber von ") +
               kAspiVendorAddress + "!";
    }
    // "Fehler <status> beim Ausführen des SCSI Kommandos..."
    static std::string aspiCommandFailed(uint8_t status)
    {
        return "Fehler " + std::to_string(status) + " beim Ausführen des SCSI Kommandos...";
    }
    // "Fehler <status>! Konnte TOC nicht lesen..."
    static std::string aspiTocFailed(uint8_t status)
    {
        return "Fehler " + std::to_string(status) + "! Konnte TOC nicht lesen...";
    }
    // A read that reported success but brought fewer bytes than asked for:
    // "Fehler: nur <received> von <expected> Bytes gelesen, Block verworfen..."
    static std::string shortRead(uint32_t received, uint32_t expected)
    {
        return "Fehler: nur " + std::to_string(received) + " von " + std::to_string(expected) +
               " Bytes gelesen, Block verworfen...";
    }
    // "<count> Tracks gefunden..."
    static std::string tracksFound(int32_t count) { return std::to_string(count) + " Tracks gefunden..."; }
};

}  // namespace rilvane
