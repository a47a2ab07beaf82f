#include "drive/AspiTransferBlock.h"

#include "platform/Win32.h"

namespace rilvane {

AspiTransferBlock::AspiTransferBlock()
{
    block_ = VirtualAlloc(nullptr, kBlockBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (block_ == nullptr)
        return;
    const uintptr_t start = windowStart(reinterpret_cast<uintptr_t>(block_));
    // The layer only sees a 32-bit address; a window that does not fit one
    // could not be handed over, so such a block counts as not allocated.
    if (start + kWindowBytes > uintptr_t{0xFFFFFFFF}) {
        VirtualFree(block_, 0, MEM_RELEASE);
        block_ = nullptr;
        return;
    }
    window_ = reinterpret_cast<uint8_t*>(start);
}

AspiTransferBlock::~AspiTransferBlock()
{
    if (block_ != nullptr)
        VirtualFree(block_, 0, MEM_RELEASE);
}

}  // namespace rilvane
