// The window's sound output: set up when the window is created, released
// when it is destroyed.

#include "app/MainUnit.h"

#include "playback/DSound.h"

bool TMainForm::setupSound()
{
    const rilvane::DSound* library = rilvane::DSound::current();
    const auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(winId()));
    return sound.setUp(library != nullptr ? library->DirectSoundCreate : nullptr, window);
}

void TMainForm::releaseSound()
{
    sound.release();
}
