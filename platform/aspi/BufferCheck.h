// Whether a caller's buffer address may be used.
#pragma once

#include <cstddef>

namespace rilvane::platform {

// True when [address, address + length) is memory of this process that may
// be written (or read, when forWriting is false), as /proc/self/maps tells.
// A 32-bit address field that held a cut-off 64-bit pointer fails here
// instead of crashing the worker.
bool isUsableBuffer(const void* address, std::size_t length, bool forWriting);

}  // namespace rilvane::platform
