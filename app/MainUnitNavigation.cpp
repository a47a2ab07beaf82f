// Stop and the four buttons that move the read position.

#include "app/MainUnit.h"

#include "app/SpinEdit.h"
#include "playback/Navigation.h"

void TMainForm::StopBtnClick()
{
    m_reading.stopRequest = true;
}

void TMainForm::FwdBtnClick()
{
    m_reading.currentSector = rilvane::forwardTarget(m_reading.currentSector);
    StartSec->setValue(m_reading.currentSector);
}

void TMainForm::RewBtnClick()
{
    m_reading.currentSector = rilvane::rewindTarget(m_reading.currentSector, m_reading.trackTable);
    StartSec->setValue(m_reading.currentSector);
}

void TMainForm::LastBtnClick()
{
    m_reading.currentSector =
        rilvane::lastTrackTarget(StartSec->value(), m_reading.currentSector, m_reading.trackTable);
    StartSec->setValue(m_reading.currentSector);
}

void TMainForm::NextBtnClick()
{
    m_reading.currentSector =
        rilvane::nextTrackTarget(StartSec->value(), m_reading.currentSector, m_reading.trackTable);
    StartSec->setValue(m_reading.currentSector);
}
