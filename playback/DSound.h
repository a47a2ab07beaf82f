// The sound library "DSound.dll" and its six entry points, resolved by name.
//
// The program creates one DSound object when it starts, before the
// application object, hands it to the main window, and destroys it when it
// ends; that loads and frees the library. An entry point the library lacks stays null, and so do all of
// them when the library cannot be loaded.
#pragma once

#include "platform/DirectSound.h"

#include <string>

namespace rilvane {

class DSound {
public:
    DSound();
    ~DSound();
    DSound(const DSound&) = delete;
    DSound& operator=(const DSound&) = delete;

    HMODULE library() const { return library_; }

    DirectSoundCreateFunc DirectSoundCreate = nullptr;
    DirectSoundEnumerateFunc DirectSoundEnumerateW = nullptr;
    DirectSoundEnumerateFunc DirectSoundEnumerateA = nullptr;
    DirectSoundCaptureCreateFunc DirectSoundCaptureCreate = nullptr;
    DirectSoundCaptureEnumerateFunc DirectSoundCaptureEnumerateW = nullptr;
    DirectSoundCaptureEnumerateFunc DirectSoundCaptureEnumerateA = nullptr;
    // Not a DirectSound entry point: the library's account of why it found
    // no usable sound device (null when the library lacks it).
    SoundDeviceErrorFunc SoundDeviceErrorA = nullptr;

    // That account, or an empty string.
    std::string soundDeviceError() const;

private:
    HMODULE library_ = nullptr;
};

}  // namespace rilvane
