#include "sip/cTick.h"

#include "sip/cTickTimer.h"

cTick::cTick(cTickSink* pSIPCall) : m_pSIPCall(pSIPCall) {}

void cTick::SetTick(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) {
  Arm(nTickId, text, toIP, nToPort, cTxSchedule::CallRequest());
}

void cTick::SetTick(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort,
                    const cTxSchedule& schedule) {
  Arm(nTickId, text, toIP, nToPort, schedule);
}

void cTick::SetTimeOutTick(int32_t nTickId) { Arm(nTickId, "", "", 0, cTxSchedule::CallTimeOut()); }

void cTick::SetTimeOutTick(int32_t nTickId, int64_t nAfterMs) {
  Arm(nTickId, "", "", 0, cTxSchedule({}, nAfterMs));
}

void cTick::Arm(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort,
                const cTxSchedule& schedule) {
  m_pTickData.m_nTickId = nTickId;
  m_pTickData.m_pTickData = text;
  m_pTickData.m_pToIP = toIP;
  m_pTickData.m_nToPort = nToPort;
  m_pTickData.m_pTxTimer.Start(schedule);
}

void cTick::OnMainTick() {
  cTxTimer::eTxStep step = m_pTickData.m_pTxTimer.Step(cTickTimer::kTickMs);
  if (step == cTxTimer::eTxStep::NONE) return;
  // Copies, and the schedule has moved on before the owner hears of it: the owner may stop or
  // re-arm the transaction from inside the event, and that must stand.
  int32_t nTickId = m_pTickData.m_nTickId;
  if (step == cTxTimer::eTxStep::TIMEOUT) {
    KillTick();
    if (m_pSIPCall != nullptr) m_pSIPCall->OnTickEventTimeOut(nTickId);
    return;
  }
  cKytSTR text = m_pTickData.m_pTickData;
  cKytSTR toIP = m_pTickData.m_pToIP;
  if (m_pSIPCall != nullptr) m_pSIPCall->OnTickEvent(nTickId, text, toIP, m_pTickData.m_nToPort);
}
