#pragma once

#include <cstdint>

#include "sip/cTickData.h"
#include "sip/cTickSink.h"
#include "util/cKytSTR.h"

// Retransmission and time-out of one call's transaction, counted in one-second ticks along a
// fixed table: armed with SetTick the request is sent again at the 3rd, 5th ... 17th tick and
// times out at the 18th; armed with SetTimeOutTick it only times out, at the 16th.
class cTick {
 public:
  static constexpr int32_t kSlots = 2;
  static constexpr int32_t kTriggers = 8;
  static constexpr int32_t kTimeOutCount = 15;

  explicit cTick(cTickSink* pSIPCall);

  // Slot 0 with retransmission events, counter at -2.
  void SetTick(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort);
  // Slot 0 with no message and no events, counter at 0.
  void SetTimeOutTick(int32_t nTickId);
  // The general form; arming replaces whatever the slot held. False for a slot out of range.
  bool StartTick(int32_t nSlot, int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP,
                 int32_t nToPort, bool bCallTickEvent, int32_t nFirstCount);
  void StopTick(int32_t nSlot);
  void KillTick() { StopTick(0); }
  void KillTickAll() { StopTick(0); }

  // Once a second, from the call object.
  void OnMainTick() { GenTick(0); }

  bool IsTickActive(int32_t nSlot = 0) const;
  int32_t GetTickId(int32_t nSlot = 0) const;

 private:
  void GenTick(int32_t nSlot);
  static bool IsSlot(int32_t nSlot) { return nSlot >= 0 && nSlot < kSlots; }

  cTickData m_pTickData[kSlots];
  const int32_t m_nTrigger[kTriggers] = {0, 2, 4, 6, 8, 10, 12, 14};
  cTickSink* m_pSIPCall;
};
