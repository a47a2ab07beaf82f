#include "drive/SettlingWait.h"

#include <thread>

namespace rilvane {

namespace {
thread_local SettlingWait* installed = nullptr;
}  // namespace

SettlingWait::SettlingWait(Wait wait) : wait_(std::move(wait)), previous_(installed)
{
    installed = this;
}

SettlingWait::~SettlingWait()
{
    installed = previous_;
}

bool SettlingWait::pause(std::chrono::milliseconds pause)
{
    if (installed && installed->wait_) return installed->wait_(pause);
    std::this_thread::sleep_for(pause);
    return true;
}

}  // namespace rilvane
