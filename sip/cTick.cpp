#include "sip/cTick.h"

cTick::cTick(cTickSink* pSIPCall) : m_pSIPCall(pSIPCall) {}

void cTick::SetTick(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) {
  StartTick(0, nTickId, text, toIP, nToPort, true, -2);
}

void cTick::SetTimeOutTick(int32_t nTickId) { StartTick(0, nTickId, "", "", 0, false, 0); }

bool cTick::StartTick(int32_t nSlot, int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP,
                      int32_t nToPort, bool bCallTickEvent, int32_t nFirstCount) {
  if (!IsSlot(nSlot)) return false;
  cTickData& slot = m_pTickData[nSlot];
  slot.m_nTickId = nTickId;
  slot.m_pTickData = text;
  slot.m_pToIP = toIP;
  slot.m_nToPort = nToPort;
  slot.m_bCallTickEvent = bCallTickEvent;
  slot.m_nTickCount = nFirstCount;
  slot.m_nTrigIndex = 0;
  return true;
}

void cTick::StopTick(int32_t nSlot) {
  if (IsSlot(nSlot)) m_pTickData[nSlot].Reset();
}

bool cTick::IsTickActive(int32_t nSlot) const {
  return IsSlot(nSlot) && m_pTickData[nSlot].m_nTickCount != cTickData::kIdle;
}

int32_t cTick::GetTickId(int32_t nSlot) const {
  return IsSlot(nSlot) ? m_pTickData[nSlot].m_nTickId : 0;
}

void cTick::GenTick(int32_t nSlot) {
  if (!IsSlot(nSlot)) return;
  cTickData& slot = m_pTickData[nSlot];
  if (slot.m_nTickCount == cTickData::kIdle) return;
  if (slot.m_nTickCount < kTimeOutCount) {
    bool bFire = slot.m_bCallTickEvent && slot.m_nTrigIndex < kTriggers &&
                 slot.m_nTickCount == m_nTrigger[slot.m_nTrigIndex];
    // The count moves on before the owner hears of it: the owner may stop or re-arm the slot
    // from inside the event, and that must stand.
    ++slot.m_nTickCount;
    if (bFire) {
      ++slot.m_nTrigIndex;
      cTickData fired = slot;
      if (m_pSIPCall != nullptr)
        m_pSIPCall->OnTickEvent(fired.m_nTickId, fired.m_pTickData, fired.m_pToIP, fired.m_nToPort);
    }
    return;
  }
  int32_t nTickId = slot.m_nTickId;
  StopTick(nSlot);
  if (m_pSIPCall != nullptr) m_pSIPCall->OnTickEventTimeOut(nTickId);
}
