// Stop and the four buttons that move the read position.

#include "app/MainUnit.h"

#include "app/SpinEdit.h"
#include "playback/Navigation.h"

void TMainForm::StopBtnClick()
{
    m_stopRequest = true;
}

void TMainForm::FwdBtnClick()
{
    m_currentSector = rilvane::forwardTarget(m_currentSector);
    StartSec->setValue(m_currentSector);
}

void TMainForm::RewBtnClick()
{
    m_currentSector = rilvane::rewindTarget(m_currentSector, m_trackTable);
    StartSec->setValue(m_currentSector);
}

void TMainForm::LastBtnClick()
{
    m_currentSector = rilvane::lastTrackTarget(StartSec->value(), m_currentSector, m_trackTable);
    StartSec->setValue(m_currentSector);
}

void TMainForm::NextBtnClick()
{
    m_currentSector = rilvane::nextTrackTarget(StartSec->value(), m_currentSector, m_trackTable);
    StartSec->setValue(m_currentSector);
}
