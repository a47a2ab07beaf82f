// libdsound.so: the DirectSound entry points over ALSA.
#include "DSoundExports.h"

#include "AlsaSink.h"
#include "DirectSoundCore.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex gProblemMutex;
std::string gProblem;  // why the last DirectSoundCreate found no device

void setProblem(std::string problem)
{
    std::lock_guard<std::mutex> lock(gProblemMutex);
    gProblem = std::move(problem);
}

constexpr char DescriptionA[] = "Primary Sound Driver";
constexpr char16_t DescriptionW[] = u"Primary Sound Driver";

bool isDefaultDevice(LPCGUID device)
{
    constexpr GUID none = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    return !device || *device == none || *device == DSDEVID_DefaultPlayback || *device == DSDEVID_DefaultVoicePlayback;
}

}  // namespace

RILVANE_DSOUND_API HRESULT DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, IUnknown* outer)
{
    if (!directSound) return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (outer) return DSERR_INVALIDPARAM;
    if (!isDefaultDevice(device)) return DSERR_NODRIVER;
    try {
        std::string problem;
        auto sink = rilvane::dsound::AlsaSink::openDefault(problem);
        setProblem(problem);
        if (!sink) return DSERR_NODRIVER;
        return rilvane::dsound::createDirectSound(std::move(sink), directSound);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

RILVANE_DSOUND_API HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context)
{
    if (!callback) return DSERR_INVALIDPARAM;
    callback(nullptr, DescriptionA, "", context);
    return DS_OK;
}

RILVANE_DSOUND_API HRESULT DirectSoundEnumerateW(LPDSENUMCALLBACKW callback, LPVOID context)
{
    if (!callback) return DSERR_INVALIDPARAM;
    callback(nullptr, DescriptionW, u"", context);
    return DS_OK;
}

RILVANE_DSOUND_API HRESULT DirectSoundCaptureCreate(LPCGUID /*device*/, void** capture, IUnknown* /*outer*/)
{
    if (!capture) return DSERR_INVALIDPARAM;
    *capture = nullptr;
    return DSERR_NODRIVER;
}

RILVANE_DSOUND_API HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, LPVOID /*context*/)
{
    return callback ? DS_OK : DSERR_INVALIDPARAM;
}

RILVANE_DSOUND_API HRESULT DirectSoundCaptureEnumerateW(LPDSENUMCALLBACKW callback, LPVOID /*context*/)
{
    return callback ? DS_OK : DSERR_INVALIDPARAM;
}

RILVANE_DSOUND_API DWORD RilvaneSoundDeviceErrorA(LPSTR text, DWORD size)
{
    std::lock_guard<std::mutex> lock(gProblemMutex);
    if (text && size > 0) {
        const size_t n = std::min<size_t>(gProblem.size(), size - 1);
        std::memcpy(text, gProblem.data(), n);
        text[n] = '\0';
    }
    return static_cast<DWORD>(gProblem.size());
}
