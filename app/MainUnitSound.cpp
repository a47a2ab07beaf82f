// The window's sound output: set up through the sound library the program
// loaded when the window is created, released when it is destroyed.

#include "app/MainUnit.h"

#include "playback/DSound.h"

bool TMainForm::setupSound()
{
    const auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(winId()));
    return m_sound.setUp(m_soundLibrary.DirectSoundCreate, window);
}

void TMainForm::releaseSound()
{
    m_sound.release();
}
