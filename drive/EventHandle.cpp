#include "drive/EventHandle.h"

namespace rilvane {

bool EventHandle::create()
{
    close();
    handle_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return handle_ != nullptr;
}

void EventHandle::close()
{
    if (handle_ != nullptr) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

}  // namespace rilvane
