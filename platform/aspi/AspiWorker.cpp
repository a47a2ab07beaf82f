#include "AspiWorker.h"

#include "ScsiGeneric.h"

#include <atomic>
#include <cstring>
#include <system_error>

namespace rilvane::platform {

AspiWorker& AspiWorker::instance()
{
    // Destroyed when the library is unloaded (or at exit), which drains the
    // queue and joins the thread while the library's code is still there.
    static AspiWorker worker;
    return worker;
}

AspiWorker::~AspiWorker()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool AspiWorker::submit(Job job)
{
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread(&AspiWorker::run, this);
            } catch (const std::system_error&) {
                return false;
            }
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void AspiWorker::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and nothing left to do
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        const AspiOutcome outcome = job.target.unit
                                        ? executeOnVirtual(*job.target.unit, job.request)
                                        : executeOnDevice(*scsiGeneric(), job.target.devicePath, job.request);
        complete(job, outcome);
    }
}

void AspiWorker::complete(const Job& job, const AspiOutcome& outcome)
{
    SRB_ExecSCSICmd* srb = job.srb;
    srb->SRB_HaStat = outcome.hostStatus;
    srb->SRB_TargStat = outcome.targetStatus;
    if (outcome.senseLength > 0) std::memcpy(srb->SenseArea, outcome.sense, outcome.senseLength);
    // Last: the status, so that a caller who polls it instead of waiting
    // finds the rest of the record complete once it changes.
    std::atomic_ref<BYTE>(srb->SRB_Status).store(outcome.status, std::memory_order_release);
    if (job.event != nullptr) SetEvent(job.event);
}

}  // namespace rilvane::platform
