// A stand-in for the ASPI layer, built as libwnaspi32.so in a folder of its
// own, so that the drive tests can meet layers the real one never is: other
// support statuses, requests that complete at once or later, more CD devices
// than the drive table holds, a library without SendASPI32Command.
//
// Configured by the environment, read at every call:
//   RILVANE_FAKE_ASPI_SUPPORT         support information, e.g. 0x8203 (default 0x0103)
//   RILVANE_FAKE_ASPI_PENDING=1       requests return 0 and complete on a thread,
//                                     which then signals the post event; otherwise
//                                     they complete before returning 1 and the
//                                     event is never signalled
//   RILVANE_FAKE_ASPI_INQUIRY_STATUS  request status of every INQUIRY (default 1)
// Every target 0..15 of every adapter is a CD device. INQUIRY names the
// device "FAKE A<adapter> T<target>" padded with blanks to 16 characters.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/WnAspi32.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Counters {
    int typeQueries = 0;
    int executes = 0;
    SRB_ExecSCSICmd lastRequest{};
};

std::mutex countersMutex;
Counters counters;

// The worker of the last pending request; joined before the next one starts
// and when the library is unloaded.
struct Worker {
    std::thread thread;
    ~Worker() { join(); }
    void join()
    {
        if (thread.joinable())
            thread.join();
    }
};
Worker worker;

unsigned long envNumber(const char* name, unsigned long fallback)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    return std::strtoul(text, nullptr, 0);
}

#ifndef FAKE_ASPI_WITHOUT_SEND
void complete(SRB_ExecSCSICmd* srb)
{
    uint8_t status = SS_COMP;
    if (srb->CDBByte[0] == 0x12) {
        status = static_cast<uint8_t>(envNumber("RILVANE_FAKE_ASPI_INQUIRY_STATUS", SS_COMP));
        if (status == SS_COMP) {
            auto* data = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(srb->SRB_BufPointer));
            std::string name = "FAKE A" + std::to_string(srb->SRB_HaId) + " T" + std::to_string(srb->SRB_Target);
            name.resize(16, ' ');
            std::memset(data, 0, 36);
            data[0] = DTYPE_CDROM;
            std::memcpy(data + 16, name.data(), 16);
        }
    }
    srb->SRB_Status = status;
}
#endif

}  // namespace

FAKE_EXPORT DWORD GetASPI32SupportInfo(void)
{
    return static_cast<DWORD>(envNumber("RILVANE_FAKE_ASPI_SUPPORT", 0x0103));
}

#ifndef FAKE_ASPI_WITHOUT_SEND
FAKE_EXPORT DWORD SendASPI32Command(void* request)
{
    auto* header = static_cast<uint8_t*>(request);
    if (header[0] == SC_GET_DEV_TYPE) {
        auto* query = static_cast<SRB_GDEVBlock*>(request);
        {
            std::lock_guard lock(countersMutex);
            ++counters.typeQueries;
        }
        query->SRB_DeviceType = query->SRB_Target < 16 ? DTYPE_CDROM : 0x1F;
        query->SRB_Status = SS_COMP;
        return SS_COMP;
    }
    if (header[0] != SC_EXEC_SCSI_CMD)
        return SS_INVALID_CMD;

    auto* srb = static_cast<SRB_ExecSCSICmd*>(request);
    {
        std::lock_guard lock(countersMutex);
        ++counters.executes;
        counters.lastRequest = *srb;
    }
    if (envNumber("RILVANE_FAKE_ASPI_PENDING", 0) == 0) {
        complete(srb);
        return SS_COMP;
    }
    worker.join();
    srb->SRB_Status = SS_PENDING;
    worker.thread = std::thread([srb] {
        complete(srb);
        SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(srb->SRB_PostProc)));
    });
    return SS_PENDING;
}
#endif

// For the tests: what the layer has been asked so far.
FAKE_EXPORT void FakeAspiCounts(int* typeQueries, int* executes, SRB_ExecSCSICmd* lastRequest)
{
    worker.join();
    std::lock_guard lock(countersMutex);
    *typeQueries = counters.typeQueries;
    *executes = counters.executes;
    *lastRequest = counters.lastRequest;
}

FAKE_EXPORT void FakeAspiReset(void)
{
    worker.join();
    std::lock_guard lock(countersMutex);
    counters = Counters{};
}
