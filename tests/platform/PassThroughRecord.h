// The pass-through buffer as the program lays it out: the 44-byte request,
// 4 filler bytes, a 32-byte sense area at 48 and the data area at 80.
#pragma once

#include "platform/Win32.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace rilvane::platform::test {

struct PassThroughRecord {
    SCSI_PASS_THROUGH spt;
    UCHAR filler[4];
    UCHAR sense[32];
    UCHAR data[23524];

    // A data-in command as the drive code prepares it.
    static PassThroughRecord make(std::initializer_list<UCHAR> cdb, ULONG dataLength, ULONG timeoutSeconds = 2)
    {
        PassThroughRecord record;
        std::memset(&record, 0, sizeof record);
        record.spt.Length = sizeof(SCSI_PASS_THROUGH);
        record.spt.CdbLength = static_cast<UCHAR>(cdb.size());
        record.spt.SenseInfoLength = 24;
        record.spt.DataIn = SCSI_IOCTL_DATA_IN;
        record.spt.DataTransferLength = dataLength;
        record.spt.TimeOutValue = timeoutSeconds;
        record.spt.DataBufferOffset = offsetof(PassThroughRecord, data);
        record.spt.SenseInfoOffset = offsetof(PassThroughRecord, sense);
        std::size_t i = 0;
        for (UCHAR byte : cdb) record.spt.Cdb[i++] = byte;
        return record;
    }

    DWORD callLength() const { return spt.DataBufferOffset + spt.DataTransferLength; }

    BOOL send(HANDLE device, DWORD* returned = nullptr)
    {
        DWORD ignored = 0;
        return DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, this, callLength(), this, callLength(),
                               returned ? returned : &ignored, nullptr);
    }
};
static_assert(offsetof(PassThroughRecord, sense) == 48);
static_assert(offsetof(PassThroughRecord, data) == 80);
static_assert(sizeof(PassThroughRecord) == 23604);

}  // namespace rilvane::platform::test
