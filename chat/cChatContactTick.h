#pragma once

#include <cstdint>

#include "chat/cChatContactTickData.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

// The two retransmission slots of a presence contact, slot 0 for its SUBSCRIBE and slot 1 for
// its NOTIFY: each request runs along cTxSchedule::ChatRequest, resent at the 1st, 3rd, 5th, 7th
// and 9th tick after sending and timed out at the 10th.
class cChatContactTick : private cKytNoCopy {
 public:
  enum eSlot : int32_t { SLOT_SUBSCRIBE = 0, SLOT_NOTIFY = 1, kSlots = 2 };

  virtual ~cChatContactTick();

  bool IsTickActive(int32_t nSlot) const;

 protected:
  cChatContactTick() = default;

  // Arming replaces whatever the slot held.
  // bStream: the request went over a stream, so it is only given up, never resent.
  void StartTick(int32_t nSlot, const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort,
                 bool bStream = false);
  void StopTick(int32_t nSlot);
  // Once a second, both slots.
  void OnContactTick();

  virtual void OnTickEvent(const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) = 0;
  virtual void OnTickEventTimeOut(int32_t nSlot) = 0;

 private:
  static bool IsSlot(int32_t nSlot) { return nSlot >= 0 && nSlot < kSlots; }

  cChatContactTickData m_pTickData[kSlots];
};
