#include "sip/cRegTick.h"

#include "sip/cTickTimer.h"

namespace {

constexpr int64_t kMsPerSecond = 1000;

cTxSchedule EverySeconds(int32_t nSeconds) {
  return cTxSchedule::Periodic((nSeconds < 1 ? 1 : nSeconds) * kMsPerSecond);
}

}  // namespace

void cRegTick::Arm(int32_t nSlot, int32_t nTickId, const cKytSTR& text,
                   const cTxSchedule& schedule) {
  cRegTickData& slot = m_pRegTickData[nSlot];
  slot.m_nTickId = nTickId;
  slot.m_pTickData = text;
  slot.m_pTxTimer.Start(schedule);
  slot.m_nArmedTick = m_nTickCount;
}

void cRegTick::SetTickSendREG(const cKytSTR& text) {
  Arm(kSlotSendREG, kTickSendREG, text, cTxSchedule::RegisterResend());
}

void cRegTick::SetTickTimeOutSendREG() {
  Arm(kSlotTimeOutSendREG, kTickTimeOutSendREG, "", cTxSchedule::RegisterGiveUp());
}

void cRegTick::SetTickReREG(int32_t nSeconds) {
  Arm(kSlotReREG, kTickReREG, "", EverySeconds(nSeconds));
}

void cRegTick::SetTickKeepAlive(int32_t nSeconds) {
  Arm(kSlotKeepAlive, kTickKeepAlive, "", EverySeconds(nSeconds));
}

void cRegTick::KillTickAll() {
  KillTickSendREG();
  KillTickTimeOutSendREG();
  KillTickReREG();
}

bool cRegTick::IsTickEnabled(int32_t nSlot) const {
  return nSlot >= 0 && nSlot < kSlots && m_pRegTickData[nSlot].m_pTxTimer.IsActive();
}

int32_t cRegTick::GetSecondsToTrigger(int32_t nSlot) const {
  int64_t nMs = IsTickEnabled(nSlot) ? m_pRegTickData[nSlot].m_pTxTimer.GetMsToNext() : -1;
  return nMs < 0 ? -1 : static_cast<int32_t>((nMs + kMsPerSecond - 1) / kMsPerSecond);
}

void cRegTick::OnMainTick() {
  ++m_nTickCount;
  for (int32_t nSlot = 0; nSlot < kSlots; ++nSlot) {
    cRegTickData& slot = m_pRegTickData[nSlot];
    if (slot.m_nArmedTick == m_nTickCount) continue;
    cTxTimer::eTxStep step = slot.m_pTxTimer.Step(cTickTimer::kTickMs);
    if (step == cTxTimer::eTxStep::NONE) continue;
    // The slot has moved on (or is off) before the event: the handler may kill or re-arm it,
    // and that stands.
    int32_t nTickId = slot.m_nTickId;
    cKytSTR text = slot.m_pTickData;
    if (step == cTxTimer::eTxStep::TIMEOUT) slot.Reset();
    OnTickEvent(nTickId, text);
  }
}
