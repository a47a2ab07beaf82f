// The per-thread error code behind GetLastError.
#pragma once

#include "platform/Win32.h"

namespace rilvane::platform {

void setLastError(DWORD error);

// Maps an errno value to the closest Windows error code.
DWORD errorFromErrno(int error);

}  // namespace rilvane::platform
