// A session with the ASPI layer: the loaded library with its two entry points,
// the transfer block whose window receives every command's data, the request
// record and the completion event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drive/AspiTransferBlock.h"
#include "drive/DriveCaller.h"
#include "drive/DriveTable.h"
#include "drive/EventHandle.h"
#include "drive/LogSink.h"
#include "drive/ScsiCommand.h"
#include "platform/WnAspi32.h"

namespace rilvane {

class AspiSession {
public:
    AspiSession() = default;
    ~AspiSession() { close(); }
    AspiSession(const AspiSession&) = delete;
    AspiSession& operator=(const AspiSession&) = delete;

    // Allocates the transfer block, loads "WNASPI32", resolves
    // GetASPI32SupportInfo and SendASPI32Command and asks the layer for its
    // status, which must be 0x01 or 0x82. On failure logs the caller's line,
    // releases what it got and returns false:
    //   library missing         discovery: "Konnte ASPI Layer nicht laden..."
    //                           playback, ripping: the line with the download address
    //   entry point missing,
    //   other status            "Konnte ASPI Layer nicht initialisieren..."
    //   no memory for the block "Fehler beim Ausführen des SCSI Kommandos..."
    bool open(DriveCaller caller, LogSink& log);
    // Closes the event, unloads the library and frees the block.
    void close();
    bool isOpen() const { return library_ != nullptr; }
    // Bits 0 to 7 of the layer's support information.
    uint8_t adapterCount() const { return adapterCount_; }

    // Creates the completion event the commands are signalled by; on failure
    // logs "Fehler beim Ausführen des SCSI Kommandos..." and returns false.
    bool openEvent(LogSink& log);
    void closeEvent() { event_.close(); }
    bool hasEvent() const { return event_.valid(); }

    // Asks for the type of the device at adapter/target, LUN 0. True only
    // when the layer answered at once (send returned 1) with a CD device.
    // The request is not waited for.
    bool isCdDevice(uint8_t adapter, uint8_t target);

    // Rebuilds the request record for the command, resets the event, sends
    // it and waits for the event only while the request is pending. Returns
    // the request status (1 = done without error). Needs the event; without
    // one nothing is sent and SS_ERR is returned.
    uint8_t execute(const DriveRecord& drive, const ScsiCommand& command);

    // The 64 KiB aligned window that receives the data; not cleared between
    // commands.
    uint8_t* window() const { return block_ ? block_->window() : nullptr; }
    const SRB_ExecSCSICmd& request() const { return request_; }
    // After a failed command: the error line of its target status and sense
    // data ("Fehler: SCSI Status 2; Code:…"), or empty when the drive sent
    // no sense.
    std::string senseLine() const;

    // The request record of `command` as it is sent: zero-filled, then
    // request code 2, flags data-in + event, the drive's address, the
    // buffer, 24 sense bytes and the command block.
    static void fillRequest(SRB_ExecSCSICmd& request, const DriveRecord& drive, const ScsiCommand& command,
                            uint32_t windowAddress, uint32_t eventValue);

private:
    std::unique_ptr<AspiTransferBlock> block_;
    HMODULE library_ = nullptr;
    GETASPI32SUPPORTINFO supportInfo_ = nullptr;
    SENDASPI32COMMAND sendCommand_ = nullptr;
    uint8_t adapterCount_ = 0;
    EventHandle event_;
    SRB_ExecSCSICmd request_{};
    SRB_GDEVBlock typeQuery_{};
};

}  // namespace rilvane
