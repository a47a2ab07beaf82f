#include "drive/AspiSession.h"

#include "drive/ErrorLine.h"

#include <cstring>

#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"

namespace rilvane {

namespace {

constexpr uint8_t kStatusReady = 0x01;
constexpr uint8_t kStatusReadyNoAdapters = 0x82;

}  // namespace

bool AspiSession::open(DriveCaller caller, LogSink& log)
{
    close();

    block_ = std::make_unique<AspiTransferBlock>();
    if (!block_->valid()) {
        log.logLine(DriveMessages::kCommandFailed);
        close();
        return false;
    }

    library_ = LoadLibraryA("WNASPI32");
    if (library_ == nullptr) {
        log.logLine(caller == DriveCaller::Discovery ? std::string(DriveMessages::kAspiNotLoaded)
                                                     : DriveMessages::aspiNotLoadedWithHint());
        close();
        return false;
    }

    supportInfo_ = reinterpret_cast<GETASPI32SUPPORTINFO>(GetProcAddress(library_, "GetASPI32SupportInfo"));
    sendCommand_ = reinterpret_cast<SENDASPI32COMMAND>(GetProcAddress(library_, "SendASPI32Command"));
    // A library without both entry points is no usable ASPI layer.
    if (supportInfo_ == nullptr || sendCommand_ == nullptr) {
        log.logLine(DriveMessages::kAspiNotInitialised);
        close();
        return false;
    }

    const DWORD info = supportInfo_();
    const auto status = static_cast<uint8_t>(info >> 8);
    if (status != kStatusReady && status != kStatusReadyNoAdapters) {
        log.logLine(DriveMessages::kAspiNotInitialised);
        close();
        return false;
    }
    adapterCount_ = static_cast<uint8_t>(info);
    return true;
}

void AspiSession::close()
{
    event_.close();
    if (library_ != nullptr) {
        FreeLibrary(library_);
        library_ = nullptr;
    }
    supportInfo_ = nullptr;
    sendCommand_ = nullptr;
    adapterCount_ = 0;
    block_.reset();
}

bool AspiSession::openEvent(LogSink& log)
{
    if (event_.create())
        return true;
    log.logLine(DriveMessages::kCommandFailed);
    return false;
}

bool AspiSession::isCdDevice(uint8_t adapter, uint8_t target)
{
    if (!isOpen())
        return false;
    std::memset(&typeQuery_, 0, sizeof(typeQuery_));
    typeQuery_.SRB_Cmd = SC_GET_DEV_TYPE;
    typeQuery_.SRB_HaId = adapter;
    typeQuery_.SRB_Target = target;
    typeQuery_.SRB_Lun = 0;
    if (event_.valid())
        ResetEvent(event_.get());
    const DWORD sent = sendCommand_(&typeQuery_);
    return sent == SS_COMP && typeQuery_.SRB_DeviceType == DTYPE_CDROM;
}

void AspiSession::fillRequest(SRB_ExecSCSICmd& request, const DriveRecord& drive, const ScsiCommand& command,
                              uint32_t windowAddress, uint32_t eventValue)
{
    std::memset(&request, 0, sizeof(request));
    request.SRB_Cmd = SC_EXEC_SCSI_CMD;
    request.SRB_HaId = drive.adapterId;
    request.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    request.SRB_Target = drive.targetId;
    request.SRB_Lun = drive.lun;
    request.SRB_BufLen = command.dataLength;
    request.SRB_BufPointer = windowAddress;
    request.SRB_SenseLen = CommandCatalogue::kSenseBytes;
    request.SRB_CDBLen = command.cdbLength;
    request.SRB_PostProc = eventValue;
    std::memcpy(request.CDBByte, command.cdb.data(), sizeof(request.CDBByte));
}

uint8_t AspiSession::execute(const DriveRecord& drive, const ScsiCommand& command)
{
    if (!isOpen() || !event_.valid())
        return SS_ERR;
    fillRequest(request_, drive, command, block_->windowAddress(), event_.value());
    ResetEvent(event_.get());
    const DWORD sent = sendCommand_(&request_);
    if (sent == SS_PENDING)
        WaitForSingleObject(event_.get(), INFINITE);
    return request_.SRB_Status;
}

std::string AspiSession::senseLine() const
{
    const uint8_t format = request_.SenseArea[0] & 0x7F;
    if (request_.SRB_TargStat != 2 || format < 0x70 || format > 0x73)
        return {};
    return errorLine(request_.SRB_TargStat, request_.SenseArea);
}

}  // namespace rilvane
