// The Play button: the playback session runs here.

#include "app/MainUnit.h"

void TMainForm::PlayBtnClick()
{
    // The playback session is not written yet; the button does nothing.
}
