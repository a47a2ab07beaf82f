// Stop and the four buttons that move the read position. A rip reads from
// the same position: moved under it, the file would get sectors twice or
// miss them, so the four buttons do nothing while a rip runs (a playback
// keeps them).

#include "app/MainUnit.h"

#include "app/SpinEdit.h"
#include "playback/Navigation.h"

void TMainForm::StopBtnClick()
{
    m_reading.stopRequest = true;
}

void TMainForm::FwdBtnClick()
{
    if (m_ripRunning) return;
    m_reading.currentSector = rilvane::forwardTarget(m_reading.currentSector);
    StartSec->setValue(m_reading.currentSector);
}

void TMainForm::RewBtnClick()
{
    if (m_ripRunning) return;
    m_reading.currentSector = rilvane::rewindTarget(m_reading.currentSector, m_reading.trackTable);
    StartSec->setValue(m_reading.currentSector);
}

void TMainForm::LastBtnClick()
{
    if (m_ripRunning) return;
    m_reading.currentSector =
        rilvane::lastTrackTarget(StartSec->value(), m_reading.currentSector, m_reading.trackTable);
    StartSec->setValue(m_reading.currentSector);
}

void TMainForm::NextBtnClick()
{
    if (m_ripRunning) return;
    m_reading.currentSector =
        rilvane::nextTrackTarget(StartSec->value(), m_reading.currentSector, m_reading.trackTable);
    StartSec->setValue(m_reading.currentSector);
}
