// The thread that runs ASPI execute requests.
//
// SendASPI32Command queues a request and returns SS_PENDING at once; the
// worker runs the requests one after another and completes each record in
// this order: host adapter status, target status and sense bytes first,
// then SRB_Status (a release store), then SetEvent on the post event. The
// caller's WaitForSingleObject therefore sees the whole record, and the
// worker never touches the record again after the event is set (the caller
// may free it). The worker drains its queue before the library is unloaded.
#pragma once

#include "AspiExecutor.h"
#include "DeviceMap.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace rilvane::platform {

class AspiWorker {
public:
    struct Job {
        SRB_ExecSCSICmd* srb = nullptr;
        AspiRequest request;
        AspiTarget target;
        HANDLE event = nullptr;  // set on completion when not null
    };

    static AspiWorker& instance();
    ~AspiWorker();

    // Returns false when no worker thread could be started.
    bool submit(Job job);

private:
    AspiWorker() = default;
    void run();
    static void complete(const Job& job, const AspiOutcome& outcome);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace rilvane::platform
