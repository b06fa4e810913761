#include "sip/cRegTick.h"

void cRegTick::Arm(int32_t nSlot, int32_t nTickId, const cKytSTR& text, int32_t nPeriod) {
  cRegTickData& slot = m_pRegTickData[nSlot];
  slot.m_bTickEnable = true;
  slot.m_nTickId = nTickId;
  slot.m_pTickData = text;
  slot.m_nTickTime = nPeriod;
  slot.m_nTriggEvent = m_nSecondCount + nPeriod;
}

void cRegTick::SetTickSendREG(const cKytSTR& text) {
  Arm(kSlotSendREG, kTickSendREG, text, kSendREGPeriod);
}

void cRegTick::SetTickTimeOutSendREG() {
  Arm(kSlotTimeOutSendREG, kTickTimeOutSendREG, "", kTimeOutSendREGPeriod);
}

void cRegTick::SetTickReREG(int32_t nSeconds) { Arm(kSlotReREG, kTickReREG, "", nSeconds); }

void cRegTick::SetTickKeepAlive(int32_t nSeconds) {
  Arm(kSlotKeepAlive, kTickKeepAlive, "", nSeconds < 1 ? 1 : nSeconds);
}

void cRegTick::KillTickAll() {
  KillTickSendREG();
  KillTickTimeOutSendREG();
  KillTickReREG();
}

bool cRegTick::IsTickEnabled(int32_t nSlot) const {
  return nSlot >= 0 && nSlot < kSlots && m_pRegTickData[nSlot].m_bTickEnable;
}

int32_t cRegTick::GetSecondsToTrigger(int32_t nSlot) const {
  if (!IsTickEnabled(nSlot)) return -1;
  return m_pRegTickData[nSlot].m_nTriggEvent - m_nSecondCount;
}

void cRegTick::OnMainTick() {
  ++m_nSecondCount;
  for (int32_t nSlot = 0; nSlot < kSlots; ++nSlot) {
    cRegTickData& slot = m_pRegTickData[nSlot];
    if (!slot.m_bTickEnable || slot.m_nTriggEvent > m_nSecondCount) continue;
    // Re-armed before the event: the handler may kill or re-arm the slot, and that stands.
    slot.m_nTriggEvent = m_nSecondCount + slot.m_nTickTime;
    int32_t nTickId = slot.m_nTickId;
    cKytSTR text = slot.m_pTickData;
    OnTickEvent(nTickId, text);
  }
}
