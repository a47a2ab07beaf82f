// Stop and the four buttons that move the read position.

#include "app/MainUnit.h"

#include "app/SpinEdit.h"
#include "playback/Navigation.h"

void TMainForm::StopBtnClick()
{
    stopRequest = true;
}

void TMainForm::FwdBtnClick()
{
    currentSector = rilvane::forwardTarget(currentSector);
    StartSec->setValue(currentSector);
}

void TMainForm::RewBtnClick()
{
    currentSector = rilvane::rewindTarget(currentSector, trackTable);
    StartSec->setValue(currentSector);
}

void TMainForm::LastBtnClick()
{
    currentSector = rilvane::lastTrackTarget(StartSec->value(), currentSector, trackTable);
    StartSec->setValue(currentSector);
}

void TMainForm::NextBtnClick()
{
    currentSector = rilvane::nextTrackTarget(StartSec->value(), currentSector, trackTable);
    StartSec->setValue(currentSector);
}
