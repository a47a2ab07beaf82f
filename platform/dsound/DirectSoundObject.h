// The DirectSound object: a cooperative level and a factory of sound
// buffers, all on one SoundDevice.
#pragma once

#include "ComObject.h"
#include "platform/DirectSound.h"

#include <atomic>
#include <memory>

namespace rilvane::dsound {

class SoundDevice;

class DirectSoundObject final : public ComObject<IDirectSound> {
public:
    explicit DirectSoundObject(std::shared_ptr<SoundDevice> device);

    HRESULT QueryInterface(REFIID iid, void** object) override;

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override;

private:
    ~DirectSoundObject() override = default;

    std::atomic<DWORD> level_{0};
    std::shared_ptr<SoundDevice> device_;
};

}  // namespace rilvane::dsound
