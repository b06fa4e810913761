#include "chat/cChatContactTick.h"

#include "sip/cTickTimer.h"
#include "sip/cTxSchedule.h"

cChatContactTick::~cChatContactTick() = default;

bool cChatContactTick::IsTickActive(int32_t nSlot) const {
  return IsSlot(nSlot) && m_pTickData[nSlot].m_pTxTimer.IsActive();
}

void cChatContactTick::StartTick(int32_t nSlot, const cKytSTR& text, const cKytSTR& toIP,
                                 int32_t nToPort, bool bStream) {
  if (!IsSlot(nSlot)) return;
  cChatContactTickData& slot = m_pTickData[nSlot];
  slot.m_pTickData = text;
  slot.m_pToIP = toIP;
  slot.m_nToPort = nToPort;
  const cTxSchedule& schedule = cTxSchedule::ChatRequest();
  slot.m_pTxTimer.Start(bStream ? schedule.GiveUpOnly() : schedule);
}

void cChatContactTick::StopTick(int32_t nSlot) {
  if (!IsSlot(nSlot)) return;
  m_pTickData[nSlot] = cChatContactTickData();
}

void cChatContactTick::OnContactTick() {
  for (int32_t nSlot = 0; nSlot < kSlots; ++nSlot) {
    cChatContactTickData& slot = m_pTickData[nSlot];
    switch (slot.m_pTxTimer.Step(cTickTimer::kTickMs)) {
      case cTxTimer::eTxStep::RESEND: {
        // Copies: the send may deliver an answer at once, which stops this slot.
        cKytSTR text = slot.m_pTickData;
        cKytSTR toIP = slot.m_pToIP;
        OnTickEvent(text, toIP, slot.m_nToPort);
        break;
      }
      case cTxTimer::eTxStep::TIMEOUT:
        StopTick(nSlot);
        OnTickEventTimeOut(nSlot);
        break;
      case cTxTimer::eTxStep::NONE:
        break;
    }
  }
}
