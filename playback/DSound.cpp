#include "playback/DSound.h"

#include <vector>

namespace rilvane {

namespace {

template <typename Function>
Function resolve(HMODULE library, const char* name)
{
    if (!library) return nullptr;
    return reinterpret_cast<Function>(GetProcAddress(library, name));
}

}  // namespace

DSound::DSound() : library_(LoadLibraryA("DSound.dll"))
{
    DirectSoundCreate = resolve<DirectSoundCreateFunc>(library_, "DirectSoundCreate");
    DirectSoundEnumerateW = resolve<DirectSoundEnumerateFunc>(library_, "DirectSoundEnumerateW");
    DirectSoundEnumerateA = resolve<DirectSoundEnumerateFunc>(library_, "DirectSoundEnumerateA");
    DirectSoundCaptureCreate = resolve<DirectSoundCaptureCreateFunc>(library_, "DirectSoundCaptureCreate");
    DirectSoundCaptureEnumerateW = resolve<DirectSoundCaptureEnumerateFunc>(library_, "DirectSoundCaptureEnumerateW");
    DirectSoundCaptureEnumerateA = resolve<DirectSoundCaptureEnumerateFunc>(library_, "DirectSoundCaptureEnumerateA");
    SoundDeviceErrorA = resolve<SoundDeviceErrorFunc>(library_, "RilvaneSoundDeviceErrorA");
}

std::string DSound::soundDeviceError() const
{
    if (!SoundDeviceErrorA) return std::string();
    std::vector<char> text(static_cast<size_t>(SoundDeviceErrorA(nullptr, 0)) + 1, '\0');
    SoundDeviceErrorA(text.data(), static_cast<DWORD>(text.size()));
    return std::string(text.data());
}

DSound::~DSound()
{
    if (library_) FreeLibrary(library_);
}

}  // namespace rilvane
