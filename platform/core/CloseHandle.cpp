#include "HandleTable.h"
#include "LastError.h"

BOOL CloseHandle(HANDLE handle)
{
    if (!rilvane::platform::HandleTable::instance().close(handle)) {
        rilvane::platform::setLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
