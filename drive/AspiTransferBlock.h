// The memory an ASPI session hands to the layer: one block, of which a window
// that starts on a 64 KiB boundary receives the data of every command.
#pragma once

#include <cstdint>

namespace rilvane {

class AspiTransferBlock {
public:
    static constexpr uint32_t kBlockBytes = 89056;   // 65535 + 23521
    static constexpr uint32_t kWindowBytes = 23521;  // at least this much from the window on

    // Allocates the block (below 4 GiB, so the window's address fits the
    // request's 32-bit buffer field). valid() tells whether that worked.
    AspiTransferBlock();
    ~AspiTransferBlock();
    AspiTransferBlock(const AspiTransferBlock&) = delete;
    AspiTransferBlock& operator=(const AspiTransferBlock&) = delete;

    bool valid() const { return window_ != nullptr; }
    // Start of the window; never cleared, so it holds the last command's data.
    uint8_t* window() const { return window_; }
    // The window's address as the 32-bit buffer field of a request holds it.
    uint32_t windowAddress() const { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window_)); }

    // The block's address rounded up to the next multiple of 65536 (an
    // address that already is one stays as it is).
    static uintptr_t windowStart(uintptr_t blockAddress) { return (blockAddress + 0xFFFF) & ~uintptr_t{0xFFFF}; }

private:
    void* block_ = nullptr;
    uint8_t* window_ = nullptr;
};

}  // namespace rilvane
