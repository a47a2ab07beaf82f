// Records and entry points of the ASPI for Win32 layer ("WNASPI32").
//
// The records keep their 32-bit layout on every build: buffer addresses and
// the post handle are 32-bit fields. On 64-bit Linux the transfer buffers
// therefore come from VirtualAlloc, which hands out memory below 4 GiB.
#pragma once

#include "platform/Win32.h"

#ifndef _WIN32

// Request codes
constexpr BYTE SC_HA_INQUIRY = 0x00;
constexpr BYTE SC_GET_DEV_TYPE = 0x01;
constexpr BYTE SC_EXEC_SCSI_CMD = 0x02;

// Request status
constexpr BYTE SS_PENDING = 0x00;
constexpr BYTE SS_COMP = 0x01;
constexpr BYTE SS_ABORTED = 0x02;
constexpr BYTE SS_ERR = 0x04;
constexpr BYTE SS_INVALID_CMD = 0x80;
constexpr BYTE SS_INVALID_HA = 0x81;
constexpr BYTE SS_NO_DEVICE = 0x82;
constexpr BYTE SS_INVALID_SRB = 0xE0;
constexpr BYTE SS_BUFFER_ALIGN = 0xE1;
constexpr BYTE SS_ILLEGAL_MODE = 0xE2;
constexpr BYTE SS_NO_ASPI = 0xE3;
constexpr BYTE SS_FAILED_INIT = 0xE4;
constexpr BYTE SS_ASPI_IS_BUSY = 0xE5;
constexpr BYTE SS_BUFFER_TO_BIG = 0xE6;
constexpr BYTE SS_NO_ADAPTERS = 0xE8;

// Request flags
constexpr BYTE SRB_POSTING = 0x01;
constexpr BYTE SRB_DIR_IN = 0x08;
constexpr BYTE SRB_DIR_OUT = 0x10;
constexpr BYTE SRB_EVENT_NOTIFY = 0x40;

// Host adapter status (SRB_HaStat)
constexpr BYTE HASTAT_OK = 0x00;
constexpr BYTE HASTAT_TIMEOUT = 0x09;
constexpr BYTE HASTAT_COMMAND_TIMEOUT = 0x0B;
constexpr BYTE HASTAT_MESSAGE_REJECT = 0x0D;
constexpr BYTE HASTAT_BUS_RESET = 0x0E;
constexpr BYTE HASTAT_PARITY_ERROR = 0x0F;
constexpr BYTE HASTAT_REQUEST_SENSE_FAILED = 0x10;
constexpr BYTE HASTAT_SEL_TO = 0x11;
constexpr BYTE HASTAT_DO_DU = 0x12;
constexpr BYTE HASTAT_BUS_FREE = 0x13;
constexpr BYTE HASTAT_PHASE_ERR = 0x14;

// Peripheral device type of a CD device
constexpr BYTE DTYPE_CDROM = 0x05;

#pragma pack(push, 1)

// Execute a SCSI command (request code 2), 96 bytes.
struct SRB_ExecSCSICmd {
    BYTE SRB_Cmd;           //  0
    BYTE SRB_Status;        //  1
    BYTE SRB_HaId;          //  2
    BYTE SRB_Flags;         //  3
    DWORD SRB_Hdr_Rsvd;     //  4
    BYTE SRB_Target;        //  8
    BYTE SRB_Lun;           //  9
    WORD SRB_Rsvd1;         // 10
    DWORD SRB_BufLen;       // 12
    DWORD SRB_BufPointer;   // 16: 32-bit address of the data buffer
    BYTE SRB_SenseLen;      // 20
    BYTE SRB_CDBLen;        // 21
    BYTE SRB_HaStat;        // 22
    BYTE SRB_TargStat;      // 23
    DWORD SRB_PostProc;     // 24: the completion event (a handle value)
    BYTE SRB_Rsvd2[20];     // 28
    BYTE CDBByte[16];       // 48
    BYTE SenseArea[32];     // 64
};

// Get the type of a device (request code 1), 12 bytes.
struct SRB_GDEVBlock {
    BYTE SRB_Cmd;           //  0
    BYTE SRB_Status;        //  1
    BYTE SRB_HaId;          //  2
    BYTE SRB_Flags;         //  3
    DWORD SRB_Hdr_Rsvd;     //  4
    BYTE SRB_Target;        //  8
    BYTE SRB_Lun;           //  9
    BYTE SRB_DeviceType;    // 10
    BYTE SRB_Rsvd1;         // 11
};

// Inquire about a host adapter (request code 0), 60 bytes.
struct SRB_HAInquiry {
    BYTE SRB_Cmd;            //  0
    BYTE SRB_Status;         //  1
    BYTE SRB_HaId;           //  2
    BYTE SRB_Flags;          //  3
    DWORD SRB_Hdr_Rsvd;      //  4
    BYTE HA_Count;           //  8: number of host adapters
    BYTE HA_SCSI_ID;         //  9: the adapter's own SCSI id
    BYTE HA_ManagerId[16];   // 10
    BYTE HA_Identifier[16];  // 26
    BYTE HA_Unique[16];      // 42: alignment mask (16-bit), flags, max targets, max transfer (32-bit)
    WORD HA_Rsvd1;           // 58
};

#pragma pack(pop)

static_assert(sizeof(SRB_ExecSCSICmd) == 96, "SRB_ExecSCSICmd is 96 bytes");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16, "layout");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24, "layout");
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48, "layout");
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64, "layout");
static_assert(sizeof(SRB_HAInquiry) == 60, "SRB_HAInquiry is 60 bytes");
static_assert(sizeof(SRB_GDEVBlock) == 12, "SRB_GDEVBlock is 12 bytes");
static_assert(offsetof(SRB_GDEVBlock, SRB_DeviceType) == 10, "layout");

// The two entry points, resolved by name with GetProcAddress.
typedef DWORD (*GETASPI32SUPPORTINFO)(void);
typedef DWORD (*SENDASPI32COMMAND)(void* srb);

#endif  // _WIN32
