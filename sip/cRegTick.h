#pragma once

#include <cstdint>

#include "sip/cRegTickData.h"
#include "sip/cTxSchedule.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

// The seconds of registration. Four slots count in the user agent's tick: resending the pending
// REGISTER (every 2 s), giving up on it (after 16 s), refreshing the registration and sending
// keep-alive packets. The resend, refresh and keep-alive slots fire every period until killed;
// the give-up fires once. What firing means is the subclass's OnTickEvent.
class cRegTick : private cKytNoCopy {
 public:
  enum eSlot : int32_t { kSlotSendREG, kSlotTimeOutSendREG, kSlotReREG, kSlotKeepAlive, kSlots };

  enum eTickId : int32_t { kTickTimeOutSendREG = 2000, kTickSendREG, kTickReREG, kTickKeepAlive };

  cRegTick() = default;
  virtual ~cRegTick() = default;

  // Once a tick: fires every due slot in slot order. A slot armed from inside an event starts
  // counting at the next tick, as one armed between ticks does.
  void OnMainTick();

  void SetTickSendREG(const cKytSTR& text);
  void SetTickTimeOutSendREG();
  // Periods below one second count as one second.
  void SetTickReREG(int32_t nSeconds);
  void SetTickKeepAlive(int32_t nSeconds);

  void KillTickSendREG() { m_pRegTickData[kSlotSendREG].Reset(); }
  void KillTickTimeOutSendREG() { m_pRegTickData[kSlotTimeOutSendREG].Reset(); }
  void KillTickReREG() { m_pRegTickData[kSlotReREG].Reset(); }
  void KillTickKeepAlive() { m_pRegTickData[kSlotKeepAlive].Reset(); }
  // Every slot but the keep-alive.
  void KillTickAll();

  bool IsTickEnabled(int32_t nSlot) const;
  // Seconds until the slot fires next; -1 when the slot is off.
  int32_t GetSecondsToTrigger(int32_t nSlot) const;

 protected:
  virtual void OnTickEvent(int32_t nTickId, const cKytSTR& text) = 0;

 private:
  void Arm(int32_t nSlot, int32_t nTickId, const cKytSTR& text, const cTxSchedule& schedule);

  int64_t m_nTickCount = 0;
  cRegTickData m_pRegTickData[kSlots];
};
