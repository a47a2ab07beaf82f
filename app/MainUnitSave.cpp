// The save button: ripping one track into a WAV file runs here.

#include "app/MainUnit.h"

void TMainForm::SaveTrackClick()
{
    // Track ripping is not written yet; the button does nothing.
}
