// The reference count the layer's objects share: one count per object for
// all the interfaces it implements, starting at the creator's reference; the
// last Release deletes the object.
#pragma once

#include "platform/DirectSound.h"

#include <atomic>

namespace rilvane::dsound {

template <typename... Interfaces>
class ComObject : public Interfaces... {
public:
    ULONG AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG Release() override
    {
        // Acquire and release: whatever was done through the other
        // references happens before the delete.
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace rilvane::dsound
