#include "drive/SptiSession.h"

#include <cstring>

#include "drive/CommandCatalogue.h"
#include "drive/ErrorLine.h"

namespace rilvane {

namespace {

void fillHeader(SCSI_PASS_THROUGH& header, const ScsiCommand& command)
{
    header.Length = sizeof(SCSI_PASS_THROUGH);
    header.CdbLength = command.cdbLength;
    header.SenseInfoLength = CommandCatalogue::kSenseBytes;
    header.DataIn = SCSI_IOCTL_DATA_IN;
    header.DataTransferLength = command.dataLength;
    header.TimeOutValue = command.timeoutSeconds;
    header.DataBufferOffset = SptiRequest::kDataOffset;
    header.SenseInfoOffset = SptiRequest::kSenseOffset;
    std::memcpy(header.Cdb, command.cdb.data(), sizeof(header.Cdb));
}

}  // namespace

SptiSession::SptiSession() : request_(std::make_unique<SptiRequest>()), wide_(std::make_unique<SptiWideRequest>()) {}

SptiSession::~SptiSession()
{
    close();
}

std::string SptiSession::devicePath(char letter)
{
    std::string path = "\\\\.\\";
    path += letter;
    path += ':';
    return path;
}

bool SptiSession::open(char letter)
{
    close();
    handle_ = CreateFileA(devicePath(letter).c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return isOpen();
}

void SptiSession::close()
{
    if (isOpen()) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool SptiSession::execute(const ScsiCommand& command)
{
    std::memset(request_.get(), 0, sizeof(SptiRequest));
    fillHeader(request_->header, command);
    return send();
}

void SptiSession::prepareReadCd()
{
    std::memset(request_.get(), 0, sizeof(SptiRequest));
    fillHeader(request_->header, CommandCatalogue::readCd(0));
    request_->header.TimeOutValue = readTimeout_;
    std::memset(request_->data, 0xFF, sizeof(request_->data));
}

void SptiSession::setReadTimeout(uint32_t seconds)
{
    readTimeout_ = seconds;
    request_->header.TimeOutValue = seconds;
}

bool SptiSession::readBlockWithC2(int32_t sector, int32_t sectors, uint32_t c2Bytes)
{
    if (sectors < 1 || sectors > CommandCatalogue::kSectorsPerRead) return false;
    std::memset(wide_.get(), 0, offsetof(SptiWideRequest, data));
    ScsiCommand command = CommandCatalogue::readCdWithC2(sector, sectors, c2Bytes);
    command.timeoutSeconds = readTimeout_;
    fillHeader(wide_->header, command);
    return sendRecord(wide_.get(), wide_->header, sizeof(SptiWideRequest));
}

bool SptiSession::readBlock(int32_t sector, int32_t sectors)
{
    if (sectors < 1 || sectors > CommandCatalogue::kSectorsPerRead) return false;
    SCSI_PASS_THROUGH& header = request_->header;
    // The platform writes the lengths and the status back into the record.
    // Without renewing them a short transfer would shrink every later read,
    // and a read that brings no sense would report the previous one's.
    header.DataTransferLength = static_cast<uint32_t>(sectors) * CommandCatalogue::kSectorBytes;
    header.SenseInfoLength = CommandCatalogue::kSenseBytes;
    header.ScsiStatus = 0;
    std::memset(request_->sense, 0, sizeof(request_->sense));
    CommandCatalogue::writeReadCdSector(header.Cdb, sector);
    header.Cdb[8] = static_cast<uint8_t>(sectors);
    return send();
}

bool SptiSession::send()
{
    return sendRecord(request_.get(), request_->header, sizeof(SptiRequest));
}

bool SptiSession::sendRecord(void* record, SCSI_PASS_THROUGH& header, size_t size)
{
    deviceGone_ = false;
    lastWide_ = record == wide_.get();
    if (!isOpen())
        return false;
    // The lengths are taken from the record as it stands, data offset plus
    // transfer length; a record that would reach past its own end is never
    // handed over.
    const uint64_t length = uint64_t{header.DataBufferOffset} + header.DataTransferLength;
    if (length > size)
        return false;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(handle_, IOCTL_SCSI_PASS_THROUGH, record, static_cast<DWORD>(length), record,
                                    static_cast<DWORD>(length), &returned, nullptr);
    if (ok == FALSE) deviceGone_ = GetLastError() == ERROR_DEVICE_NOT_CONNECTED;
    return ok != FALSE && header.ScsiStatus == 0;
}

std::string SptiSession::errorLine() const
{
    if (lastWide_) return rilvane::errorLine(wide_->header.ScsiStatus, wide_->sense);
    return rilvane::errorLine(request_->header.ScsiStatus, request_->sense);
}

bool SptiSession::hasSense() const
{
    const uint8_t format = request_->sense[0] & 0x7F;
    return request_->header.ScsiStatus == 2 && format >= 0x70 && format <= 0x73;
}

}  // namespace rilvane
