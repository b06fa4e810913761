#pragma once

#include <cstdint>

#include "sip/cTickData.h"
#include "sip/cTickSink.h"
#include "sip/cTxSchedule.h"
#include "util/cKytSTR.h"

// Retransmission and time-out of one call's transaction, counted in the user agent's ticks:
// armed with SetTick the request is sent again and given up along cTxSchedule::CallRequest;
// armed with SetTimeOutTick it is only given up, along cTxSchedule::CallTimeOut.
class cTick {
 public:
  explicit cTick(cTickSink* pSIPCall);

  // Arming replaces whatever was pending.
  void SetTick(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort);
  void SetTick(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort,
               const cTxSchedule& schedule);
  void SetTimeOutTick(int32_t nTickId);
  // Nothing to resend: only the time-out, after nAfterMs.
  void SetTimeOutTick(int32_t nTickId, int64_t nAfterMs);
  void KillTick() { m_pTickData.Reset(); }

  // Once a tick, from the call object.
  void OnMainTick();

  bool IsTickActive() const { return m_pTickData.m_pTxTimer.IsActive(); }

 private:
  void Arm(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort,
           const cTxSchedule& schedule);

  cTickData m_pTickData;
  cTickSink* m_pSIPCall;
};
