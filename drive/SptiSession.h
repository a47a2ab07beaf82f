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

    // READ CD of `sectors` (1 to 10) with the C2 error pointers, in a record
    // of its own; the data is then at wideData().
    bool readBlockWithC2(int32_t sector, int32_t sectors, uint32_t c2Bytes = CommandCatalogue::kC2PointerBytes);
    uint8_t* wideData() { return wide_->data; }
    uint32_t wideTransferredLength() const { return wide_->header.DataTransferLength; }

    // The READ CD time-out of both records (200 s unless set).
    void setReadTimeout(uint32_t seconds);

    // Status and sense bytes of the last call (of the record it used).
    uint8_t lastStatus() const { return lastWide_ ? wide_->header.ScsiStatus : request_->header.ScsiStatus; }
    const uint8_t* lastSense() const { return lastWide_ ? wide_->sense : request_->sense; }

    // Whether the last call failed because the drive could not be reached.
    bool deviceGone() const { return deviceGone_; }

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
    bool sendRecord(void* record, SCSI_PASS_THROUGH& header, size_t size);

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::unique_ptr<SptiRequest> request_;
    std::unique_ptr<SptiWideRequest> wide_;
    uint32_t readTimeout_ = CommandCatalogue::kReadTimeoutSeconds;
    bool deviceGone_ = false;
    bool lastWide_ = false;  // the last call used the wide record
};

}  // namespace rilvane
