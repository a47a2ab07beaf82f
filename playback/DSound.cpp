#include "playback/DSound.h"

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
}

DSound::~DSound()
{
    if (library_) FreeLibrary(library_);
}

}  // namespace rilvane
