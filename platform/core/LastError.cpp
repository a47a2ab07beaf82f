#include "LastError.h"

#include <cerrno>

namespace rilvane::platform {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

void setLastError(DWORD error)
{
    lastError = error;
}

DWORD errorFromErrno(int error)
{
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case EFAULT:
    case EOVERFLOW: return ERROR_INVALID_PARAMETER;
    case ENODEV:
    case ENXIO: return ERROR_DEVICE_NOT_CONNECTED;
    case ENOMEDIUM:
    case EBUSY: return ERROR_NOT_READY;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_INVALID_FUNCTION;
    case EIO: return ERROR_IO_DEVICE;
    default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace rilvane::platform

DWORD GetLastError(void)
{
    return rilvane::platform::lastError;
}
