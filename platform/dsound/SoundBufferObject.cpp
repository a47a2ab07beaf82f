#include "SoundBufferObject.h"

#include "SoundDevice.h"

namespace rilvane::dsound {

SoundBufferObject::SoundBufferObject(std::shared_ptr<SoundDevice> device, std::shared_ptr<BufferState> state,
                                     DWORD flags)
    : device_(std::move(device)), state_(std::move(state)), flags_(flags)
{
}

SoundBufferObject::~SoundBufferObject()
{
    device_->removeBuffer(state_);
}

HRESULT SoundBufferObject::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer) {
        *object = static_cast<IDirectSoundBuffer*>(this);
    } else if (iid == IID_IDirectSoundNotify && (flags_ & DSBCAPS_CTRLPOSITIONNOTIFY)) {
        *object = static_cast<IDirectSoundNotify*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT SoundBufferObject::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor)
{
    return device_->position(*state_, playCursor, writeCursor);
}

HRESULT SoundBufferObject::GetStatus(DWORD* status)
{
    if (!status) return DSERR_INVALIDPARAM;
    *status = device_->status(*state_);
    return DS_OK;
}

HRESULT SoundBufferObject::Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1, LPVOID* audioPtr2,
                                DWORD* audioBytes2, DWORD flags)
{
    return device_->lock(*state_, offset, bytes, audioPtr1, audioBytes1, audioPtr2, audioBytes2, flags);
}

HRESULT SoundBufferObject::Play(DWORD reserved1, DWORD /*priority*/, DWORD flags)
{
    if (reserved1 != 0) return DSERR_INVALIDPARAM;
    return device_->play(*state_, (flags & DSBPLAY_LOOPING) != 0);
}

HRESULT SoundBufferObject::Stop()
{
    return device_->stop(*state_);
}

HRESULT SoundBufferObject::Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2)
{
    return device_->unlock(*state_, audioPtr1, audioBytes1, audioPtr2, audioBytes2);
}

HRESULT SoundBufferObject::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions)
{
    return device_->setNotifications(*state_, count, positions);
}

}  // namespace rilvane::dsound
