// Drive letters and the SCSI pass-through: CreateFileA on "\\.\X:",
// GetLogicalDrives, GetDriveTypeA and DeviceIoControl.

#include "DeviceHandle.h"
#include "DeviceMap.h"
#include "LastError.h"
#include "PassThrough.h"
#include "ScsiTarget.h"

#include <cstring>

namespace {

using namespace rilvane::platform;

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isLetter(char c)
{
    c = upper(c);
    return c >= 'A' && c <= 'Z';
}

// "\\.\E:" -> 'E'; 0 for anything else.
char deviceLetter(LPCSTR path)
{
    if (path == nullptr || std::strlen(path) != 6) return 0;
    if (std::strncmp(path, "\\\\.\\", 4) != 0 || !isLetter(path[4]) || path[5] != ':') return 0;
    return upper(path[4]);
}

// "E:\", "E:/" or "E:" -> 'E'; 0 for anything else.
char rootLetter(LPCSTR root)
{
    const std::size_t length = std::strlen(root);
    if (length < 2 || length > 3 || !isLetter(root[0]) || root[1] != ':') return 0;
    if (length == 3 && root[2] != '\\' && root[2] != '/') return 0;
    return upper(root[0]);
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD /*desiredAccess*/, DWORD /*shareMode*/, void* /*securityAttributes*/,
                   DWORD /*creationDisposition*/, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/)
{
    // Only drive devices are opened through this call; files are the
    // business of the toolkit.
    const char letter = deviceLetter(fileName);
    if (letter == 0) {
        setLastError(fileName == nullptr ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const auto map = devices();
    const LetterDrive& drive = map->letter(letter);
    switch (drive.kind) {
    case LetterDrive::Kind::None: setLastError(ERROR_FILE_NOT_FOUND); return INVALID_HANDLE_VALUE;
    case LetterDrive::Kind::Fixed:
        // The root file system is no SCSI device that could be handed out.
        setLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    case LetterDrive::Kind::Virtual:
    case LetterDrive::Kind::Optical: break;
    }
    int error = 0;
    std::shared_ptr<ScsiTarget> target = openScsiTarget(drive.devicePath, drive.unit, error);
    if (!target) {
        setLastError(errorFromErrno(error));
        return INVALID_HANDLE_VALUE;
    }
    auto device = std::make_shared<DeviceHandle>(std::move(target));
    HANDLE handle = HandleTable::instance().add(std::move(device));
    if (handle == nullptr) {
        setLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

DWORD GetLogicalDrives(void)
{
    return devices()->logicalDrives();
}

UINT GetDriveTypeA(LPCSTR rootPathName)
{
    // No root given means the current directory's drive: the fixed disk.
    const char letter = rootPathName == nullptr ? 'C' : rootLetter(rootPathName);
    if (letter == 0) return DRIVE_NO_ROOT_DIR;
    switch (devices()->letter(letter).kind) {
    case LetterDrive::Kind::Fixed: return DRIVE_FIXED;
    case LetterDrive::Kind::Optical:
    case LetterDrive::Kind::Virtual: return DRIVE_CDROM;
    case LetterDrive::Kind::None: break;
    }
    return DRIVE_NO_ROOT_DIR;
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                     DWORD outBufferSize, LPDWORD bytesReturned, void* /*overlapped*/)
{
    // Calls run synchronously; an OVERLAPPED structure changes nothing.
    auto handle = HandleTable::instance().getAs<DeviceHandle>(device);
    if (!handle) {
        setLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (ioControlCode != IOCTL_SCSI_PASS_THROUGH) {
        setLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    PassThroughCall call;
    DWORD error = ERROR_SUCCESS;
    if (!preparePassThrough(inBuffer, inBufferSize, outBuffer, outBufferSize, call, error)) {
        setLastError(error);
        return FALSE;
    }
    const BOOL result = passThrough(handle->target(), call, bytesReturned, error);
    if (!result) setLastError(error);
    return result;
}
