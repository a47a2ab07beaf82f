#include "DirectSoundObject.h"

#include "BufferDescription.h"
#include "DirectSoundCore.h"
#include "SoundBufferObject.h"
#include "SoundDevice.h"

#include <exception>
#include <new>

namespace rilvane::dsound {

namespace {
constexpr DWORD DSSCL_WRITEPRIMARY = 4;
}  // namespace

HRESULT createDirectSound(std::shared_ptr<PcmSink> sink, IDirectSound** directSound)
{
    if (!directSound) return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (!sink) return DSERR_NODRIVER;
    try {
        *directSound = new DirectSoundObject(std::make_shared<SoundDevice>(std::move(sink)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return DSERR_GENERIC;  // the feeder thread could not be started
    }
    return DS_OK;
}

DirectSoundObject::DirectSoundObject(std::shared_ptr<SoundDevice> device) : device_(std::move(device)) {}

HRESULT DirectSoundObject::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IUnknown) && !(iid == IID_IDirectSound)) return E_NOINTERFACE;
    *object = static_cast<IDirectSound*>(this);
    AddRef();
    return S_OK;
}

HRESULT DirectSoundObject::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer)
{
    if (!buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer) return DSERR_INVALIDPARAM;  // no aggregation
    BufferShape shape;
    const HRESULT checked = checkBufferDescription(desc, shape);
    if (checked != DS_OK) return checked;

    std::shared_ptr<BufferState> state;
    try {
        state = device_->addBuffer(shape.bytes);
        if (!state) return DSERR_NODRIVER;
        *buffer = new SoundBufferObject(device_, state, shape.flags);
    } catch (const std::bad_alloc&) {
        if (state) device_->removeBuffer(state);
        return E_OUTOFMEMORY;
    }
    return DS_OK;
}

HRESULT DirectSoundObject::SetCooperativeLevel(HWND /*window*/, DWORD level)
{
    // One device is shared by every buffer and there is no primary buffer to
    // write, so the level is only checked and kept.
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    level_.store(level, std::memory_order_relaxed);
    return DS_OK;
}

}  // namespace rilvane::dsound
