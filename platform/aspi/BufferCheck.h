// Whether a caller's buffer address may be used.
#pragma once

#include <cstddef>

namespace rilvane::platform {

// True when [address, address + length) is memory of this process that may
// be written (or read, when forWriting is false), as /proc/self/maps tells.
// A 32-bit address field that held a cut-off 64-bit pointer fails here
// instead of crashing the layer. A range inside the last one found usable
// (on the same thread, in VirtualAlloc memory that has not been released or
// reprotected since) is not looked up again.
bool isUsableBuffer(const void* address, std::size_t length, bool forWriting);

}  // namespace rilvane::platform
