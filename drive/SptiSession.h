// A session with one drive through the platform's SCSI pass-through: the
// device handle and the request record that every command of the session
// travels in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "drive/CommandCatalogue.h"
#include "drive/ScsiCommand.h"
#include "drive/SptiRequest.h"
#include "platform/Win32.h"

namespace rilvane {

class SptiSession {
public:
    SptiSession();
    ~SptiSession();
    SptiSession(const SptiSession&) = delete;
    SptiSession& operator=(const SptiSession&) = delete;

    // "\\.\E:" for letter 'E'.
    static std::string devicePath(char letter);

    // Opens the drive behind `letter` for reading and writing, shared. False
    // when it cannot be reached; a device open before is closed first.
    bool open(char letter);
    void close();
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    // INQUIRY and READ TOC: the whole record is zero-filled, filled from the
    // command and sent. True when the call succeeded and the status is 0.
    bool execute(const ScsiCommand& command);

    // READ CD: prepareReadCd() once before a read loop (record zero-filled,
    // filled for ten sectors, data area set to 0xFF), then readBlock() for
    // every read of `sectors` (1 to 10) sectors. True when the call succeeded
    // and the status is 0; the sectors are then at data().
    void prepareReadCd();
    bool readBlock(int32_t sector, int32_t sectors = CommandCatalogue::kSectorsPerRead);

    // The error line of the last command, from its status and sense bytes.
    std::string errorLine() const;
    // True when the last command came back with CHECK CONDITION and sense.
    bool hasSense() const;

    SptiRequest& request() { return *request_; }
    const SptiRequest& request() const { return *request_; }
    uint8_t* data() { return request_->data; }
    uint8_t scsiStatus() const { return request_->header.ScsiStatus; }
    // Bytes of data-in the last call reported.
    uint32_t transferredLength() const { return request_->header.DataTransferLength; }

private:
    bool send();

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::unique_ptr<SptiRequest> request_;
};

}  // namespace rilvane
