// A secondary sound buffer as the program sees it: IDirectSoundBuffer and,
// when created with DSBCAPS_CTRLPOSITIONNOTIFY, IDirectSoundNotify on the
// same object (one reference count for both).
#pragma once

#include "ComObject.h"
#include "platform/DirectSound.h"

#include <memory>

namespace rilvane::dsound {

class SoundDevice;
struct BufferState;

class SoundBufferObject final : public ComObject<IDirectSoundBuffer, IDirectSoundNotify> {
public:
    SoundBufferObject(std::shared_ptr<SoundDevice> device, std::shared_ptr<BufferState> state, DWORD flags);

    HRESULT QueryInterface(REFIID iid, void** object) override;

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1, LPVOID* audioPtr2,
                 DWORD* audioBytes2, DWORD flags) override;
    HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) override;
    HRESULT Stop() override;
    HRESULT Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2) override;

    HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) override;

private:
    ~SoundBufferObject() override;

    std::shared_ptr<SoundDevice> device_;
    std::shared_ptr<BufferState> state_;
    DWORD flags_;
};

}  // namespace rilvane::dsound
