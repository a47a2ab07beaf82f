// The handful of Windows calls the drive, sound and window code speaks in.
//
// On Windows this header pulls in the system headers; on Linux the platform
// library (librilvane_platform.so) supplies the same names, types and record
// layouts. Every #ifdef for the platform stays inside platform/.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <shellapi.h>
#else

#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#define RILVANE_PLATFORM_API extern "C" __attribute__((visibility("default")))
#else
#define RILVANE_PLATFORM_API extern "C"
#endif

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint8_t UCHAR;
typedef uint16_t WORD;
typedef uint16_t USHORT;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t LONG;
typedef int32_t HRESULT;
typedef size_t SIZE_T;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef DWORD* LPDWORD;

// Handles are small integers from one table shared by every module that links
// the platform library, carried in a pointer-sized value as on Windows. They
// always fit 32 bits, so they can travel in the 32-bit fields of ASPI records.
struct HANDLE__;
typedef HANDLE__* HANDLE;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef HWND__* HWND;
typedef void (*FARPROC)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

// CreateFileA
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002u;
constexpr DWORD OPEN_EXISTING = 3;

// GetDriveTypeA
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

// WaitForSingleObject
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// ShellExecuteA: results of 32 and below are errors
constexpr INT SW_SHOWNORMAL = 5;
constexpr INT SE_ERR_FNF = 2;
constexpr INT SE_ERR_OOM = 8;
constexpr INT SE_ERR_NOASSOC = 31;

// VirtualAlloc / VirtualFree
constexpr DWORD MEM_COMMIT = 0x00001000u;
constexpr DWORD MEM_RESERVE = 0x00002000u;
constexpr DWORD MEM_RELEASE = 0x00008000u;
constexpr DWORD PAGE_READWRITE = 0x04u;

// Errors reported through GetLastError
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

// SCSI pass-through (ntddscsi.h)
constexpr DWORD IOCTL_SCSI_PASS_THROUGH = 0x0004D004u;
constexpr UCHAR SCSI_IOCTL_DATA_OUT = 0;
constexpr UCHAR SCSI_IOCTL_DATA_IN = 1;
constexpr UCHAR SCSI_IOCTL_DATA_UNSPECIFIED = 2;

// The pass-through request in its 32-bit layout (44 bytes), whatever the
// pointer size of this build: DataBufferOffset is an offset from the start
// of the record, never a pointer, so 32 bits are enough.
struct SCSI_PASS_THROUGH {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    ULONG DataBufferOffset;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};
static_assert(sizeof(SCSI_PASS_THROUGH) == 44, "SCSI_PASS_THROUGH must keep its 32-bit layout");
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == 12, "layout");
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 28, "layout");

// Kernel: devices and drives
RILVANE_PLATFORM_API HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                                        void* securityAttributes, DWORD creationDisposition,
                                        DWORD flagsAndAttributes, HANDLE templateFile);
RILVANE_PLATFORM_API BOOL CloseHandle(HANDLE handle);
RILVANE_PLATFORM_API BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer,
                                          DWORD inBufferSize, LPVOID outBuffer, DWORD outBufferSize,
                                          LPDWORD bytesReturned, void* overlapped);
RILVANE_PLATFORM_API DWORD GetLogicalDrives(void);
RILVANE_PLATFORM_API UINT GetDriveTypeA(LPCSTR rootPathName);
RILVANE_PLATFORM_API DWORD GetLastError(void);

// Kernel: libraries
RILVANE_PLATFORM_API HMODULE LoadLibraryA(LPCSTR fileName);
RILVANE_PLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
RILVANE_PLATFORM_API BOOL FreeLibrary(HMODULE module);

// Kernel: manual- and auto-reset events, safe across threads
RILVANE_PLATFORM_API HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState,
                                         LPCSTR name);
RILVANE_PLATFORM_API BOOL SetEvent(HANDLE event);
RILVANE_PLATFORM_API BOOL ResetEvent(HANDLE event);
RILVANE_PLATFORM_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Kernel: memory. On 64-bit Linux the pages come from the low 4 GiB, so that
// their address fits the 32-bit pointer fields of the ASPI records and of the
// 20-byte sound buffer description.
RILVANE_PLATFORM_API LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
RILVANE_PLATFORM_API BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);

// Shell
RILVANE_PLATFORM_API HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                             LPCSTR directory, INT showCommand);

#endif  // _WIN32
